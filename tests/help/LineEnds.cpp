// Reads a screenshot of the help viewer showing a page prepared with marks (prepare-page.py
// --mark): the page ivory, table borders green, text black, a character that may not begin a
// line red and one that may not end a line blue. Finds the page's lines of text, in each table
// cell apart, and prints each line that begins red or ends blue or runs into the page's right
// edge, and a page that reaches the viewer's bottom (it would not be seen whole). Exits 1 when
// it prints one, 2 when the screenshot shows no page.
// Usage: help_line_ends SCREENSHOT.png
#include <QImage>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr QRgb kIvory = 0xfffff0;
constexpr int kColourful = 100; // how far one channel stands above the others
// A page seen whole ends well above the viewer's bottom edge.
constexpr int kBottomMargin = 40;

bool isIvory(QRgb p) {
    return (p & 0xffffff) == kIvory;
}
bool isGreen(QRgb p) {
    return qGreen(p) - std::max(qRed(p), qBlue(p)) > kColourful;
}
bool isRed(QRgb p) {
    return qRed(p) - std::max(qGreen(p), qBlue(p)) > kColourful;
}
bool isBlue(QRgb p) {
    return qBlue(p) - std::max(qRed(p), qGreen(p)) > kColourful;
}

// The page on the screenshot, divided by the green borders into areas: each table cell one,
// the page around the tables another. Places are relative to the page's top-left corner.
class Page {
  public:
    explicit Page(const QImage& shot) : m_shot(shot) {
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (isIvory(shot.pixel(x, y)))
                    m_box |= QRect(x, y, 1, 1);
        m_areas.assign(static_cast<std::size_t>(m_box.width()) * height(), 0);
        int count = 0;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (area(x, y) == 0)
                    fill(x, y, isGreen(pixel(x, y)) ? -1 : ++count);
    }
    int width() const { return m_box.width(); }
    int height() const { return m_box.height(); }
    QPoint onScreen(int x, int y) const { return m_box.topLeft() + QPoint(x, y); }
    QRgb pixel(int x, int y) const { return m_shot.pixel(onScreen(x, y)); }
    int area(int x, int y) const { return m_areas[index(x, y)]; }

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width()) +
               static_cast<std::size_t>(x);
    }
    // Gives number `n` to the pixel and to all of its kind that it reaches without crossing
    // another kind: a border's pixels, or an area's.
    void fill(int x, int y, int n) {
        const bool border = n < 0;
        std::vector<QPoint> todo = {QPoint(x, y)};
        m_areas[index(x, y)] = n;
        while (!todo.empty()) {
            const QPoint at = todo.back();
            todo.pop_back();
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QPoint next = at + step;
                if (next.x() < 0 || next.y() < 0 || next.x() >= width() || next.y() >= height() ||
                    area(next.x(), next.y()) != 0 || isGreen(pixel(next.x(), next.y())) != border)
                    continue;
                m_areas[index(next.x(), next.y())] = n;
                todo.push_back(next);
            }
        }
    }

    const QImage& m_shot;
    QRect m_box;
    std::vector<int> m_areas;
};

struct Line {
    int top = 0, bottom = 0, left = INT_MAX, right = -1;
};

// The lines of text in each area: runs of rows with ink, each with its leftmost and rightmost
// inked pixel.
std::map<int, std::vector<Line>> linesOf(const Page& page) {
    std::map<int, std::map<int, Line>> rows;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const int a = page.area(x, y);
            if (a <= 0 || isIvory(page.pixel(x, y)))
                continue;
            Line& row = rows[a][y];
            row.top = row.bottom = y;
            row.left = std::min(row.left, x);
            row.right = std::max(row.right, x);
        }
    std::map<int, std::vector<Line>> lines;
    for (const auto& [a, inked] : rows)
        for (const auto& [y, row] : inked) {
            std::vector<Line>& found = lines[a];
            if (found.empty() || found.back().bottom != y - 1) {
                found.push_back(row);
                continue;
            }
            Line& line = found.back();
            line.bottom = y;
            line.left = std::min(line.left, row.left);
            line.right = std::max(line.right, row.right);
        }
    return lines;
}

// Whether a pixel of the colour shows in area `a`, in the line's rows and the columns
// [from, to].
bool shows(const Page& page, int a, const Line& line, int from, int to, bool (*colour)(QRgb)) {
    for (int y = line.top; y <= line.bottom; ++y)
        for (int x = std::max(from, 0); x <= std::min(to, page.width() - 1); ++x)
            if (page.area(x, y) == a && colour(page.pixel(x, y)))
                return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QImage shot =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const Page page(shot);
    if (page.width() < 100 || page.height() < 100) {
        std::fprintf(stderr, "no help page on the screenshot\n");
        return 2;
    }
    int faults = 0, count = 0;
    auto fault = [&](const char* what, int x, int y) {
        const QPoint at = page.onScreen(x, y);
        std::printf("%s at (%d, %d)\n", what, at.x(), at.y());
        ++faults;
    };
    for (const auto& [a, lines] : linesOf(page))
        for (const Line& line : lines) {
            ++count;
            if (shows(page, a, line, line.left, line.left + 2, isRed))
                fault("a line begins with a character that may not begin one", line.left, line.top);
            if (shows(page, a, line, line.right - 2, line.right, isBlue))
                fault("a line ends with a character that may not end one", line.right, line.top);
            if (line.right >= page.width() - 2)
                fault("a line runs into the page's right edge", line.right, line.top);
            if (line.bottom >= page.height() - kBottomMargin)
                fault("the page may run past the viewer's bottom", line.left, line.top);
        }
    std::printf("%d lines, %d faults\n", count, faults);
    return faults > 0 ? 1 : 0;
}
