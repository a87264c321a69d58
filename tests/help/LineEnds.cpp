// Reads a screenshot of the help viewer's window showing a page prepared with marks
// (prepare-page.py --mark): the page ivory, the text black, a character that may not begin a
// line red and one that may not end a line blue. Finds the page's lines of text and prints
// each line that begins red or ends blue or runs into the page's right edge, and a page that
// comes near the window's bottom (it may go on below, unseen). Exits 1 when it prints one, 2
// when the screenshot shows no page.
// Usage: help_line_ends SCREENSHOT.png
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr QRgb kIvory = 0xfffff0;
// how far one channel stands above the others
constexpr int kColourful = 100;
// A page seen whole ends well above the window's bottom edge (and its status bar).
constexpr int kBottomMargin = 80;

bool isIvory(QRgb p) {
    return (p & 0xffffff) == kIvory;
}
bool isRed(QRgb p) {
    return qRed(p) - std::max(qGreen(p), qBlue(p)) > kColourful;
}
bool isBlue(QRgb p) {
    return qBlue(p) - std::max(qRed(p), qGreen(p)) > kColourful;
}

// A line of text: rows with ink one after another, from its leftmost to its rightmost ink.
struct Line {
    int top = 0, bottom = 0, left = 0, right = 0;
};

std::vector<Line> linesIn(const QImage& shot, const QRect& page) {
    std::vector<Line> lines;
    for (int y = page.top(); y <= page.bottom(); ++y) {
        int left = -1, right = -1;
        for (int x = page.left(); x <= page.right(); ++x)
            if (!isIvory(shot.pixel(x, y))) {
                left = left < 0 ? x : left;
                right = x;
            }
        if (left < 0)
            continue;
        if (lines.empty() || lines.back().bottom != y - 1) {
            lines.push_back({y, y, left, right});
            continue;
        }
        Line& line = lines.back();
        line.bottom = y;
        line.left = std::min(line.left, left);
        line.right = std::max(line.right, right);
    }
    return lines;
}

// Whether a pixel of the colour shows in the line's rows, in the columns [from, to].
bool shows(const QImage& shot, const Line& line, int from, int to, bool (*colour)(QRgb)) {
    for (int y = line.top; y <= line.bottom; ++y)
        for (int x = from; x <= to; ++x)
            if (colour(shot.pixel(x, y)))
                return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QImage shot =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    QRect page;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (isIvory(shot.pixel(x, y)))
                page |= QRect(x, y, 1, 1);
    if (page.width() < 100 || page.height() < 20) {
        std::fprintf(stderr, "no help page on the screenshot\n");
        return 2;
    }
    int faults = 0;
    auto fault = [&faults](const char* what, int x, int y) {
        std::printf("%s at (%d, %d)\n", what, x, y);
        ++faults;
    };
    const std::vector<Line> lines = linesIn(shot, page);
    for (const Line& line : lines) {
        if (shows(shot, line, line.left, line.left + 2, isRed))
            fault("a line begins with a character that may not begin one", line.left, line.top);
        if (shows(shot, line, line.right - 2, line.right, isBlue))
            fault("a line ends with a character that may not end one", line.right, line.top);
        if (line.right >= page.right() - 1)
            fault("a line runs into the page's right edge", line.right, line.top);
        if (line.bottom >= shot.height() - kBottomMargin)
            fault("the page may go on below the window's bottom", line.left, line.top);
    }
    std::printf("%zu lines, %d faults\n", lines.size(), faults);
    return faults > 0 ? 1 : 0;
}
