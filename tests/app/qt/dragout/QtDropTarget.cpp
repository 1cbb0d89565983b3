// A Qt window in another process that takes one drop of text/uri-list, as a
// Qt mail composer or file manager does, and reports what it received as one
// JSON line on standard output (the same form as the GTK target): the URIs,
// and for each local file whether it could be read at the moment of the drop
// and its bytes as hex. Exits after the drop, or after 60 s without one.
// Arguments: the window's x and y.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class TDropTarget : public QWidget {
public:
    TDropTarget() {
        setWindowTitle(QStringLiteral("drop-target-qt"));
        setAcceptDrops(true);
        resize(300, 300);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* data = event->mimeData();
        QJsonArray uris;
        QJsonArray files;
        for (const QUrl& url : data->urls()) {
            uris.append(url.toString(QUrl::FullyEncoded));
            QJsonObject file{{QStringLiteral("path"), url.toLocalFile()}};
            QFile f(url.toLocalFile());
            if (f.open(QIODevice::ReadOnly))
                file.insert(QStringLiteral("bytes"), QString::fromLatin1(f.readAll().toHex()));
            else
                file.insert(QStringLiteral("error"), f.errorString());
            files.append(file);
        }
        const QJsonObject report{{QStringLiteral("uris"), uris},
                                 {QStringLiteral("raw"), QString::fromUtf8(data->data(QStringLiteral("text/uri-list")))},
                                 {QStringLiteral("files"), files}};
        std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        event->acceptProposedAction();
        QTimer::singleShot(200, qApp, &QApplication::quit);
    }
    void showEvent(QShowEvent*) override {
        std::printf("ready\n");
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TDropTarget window;
    if (argc > 2) window.move(QString::fromLocal8Bit(argv[1]).toInt(), QString::fromLocal8Bit(argv[2]).toInt());
    window.show();
    QTimer::singleShot(60000, &app, &QApplication::quit);
    return app.exec();
}
