// A window to drag from, for the end-to-end test: a mouse press on it starts a drag of the data
// given on the command line (URLs or text), as a file manager or an editor would, through
// the X server's own drag-and-drop protocol. It stays, so that the target can still read what
// was dropped.
// Usage: drag_source --urls URL... | --text TEXT
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class Source : public QLabel {
  public:
    explicit Source(QMimeData* dragged) : QLabel(QStringLiteral("drag me")), m_data(dragged) {}

  protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        drag->setMimeData(m_data);
        drag->exec(Qt::CopyAction);
    }

  private:
    QMimeData* m_data;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(2);
    auto* data = new QMimeData;
    if (QApplication::arguments().value(1) == QLatin1String("--urls")) {
        QList<QUrl> urls;
        for (const QString& url : arguments)
            urls << QUrl(url);
        data->setUrls(urls);
    } else {
        data->setText(arguments.join(QLatin1Char(' ')));
    }
    Source source(data);
    source.setWindowTitle(QStringLiteral("drag source"));
    source.resize(120, 80);
    source.move(0, 0);
    source.show();
    return QApplication::exec();
}
