// A snapshot proven in a real browser: headless Chromium draws the live page from the loopback
// server and the saved page from disk with every network request refused; the two pictures
// must match. As a control, the live page with the network refused must not. And the golden
// page, saved and opened from disk while the loopback server that served it counts requests:
// none may arrive, with scripts removed or kept, and the page's text must be there.
#include "EngineHarness.h"
#include "SnapshotGolden.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/platformText.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <map>

namespace {

class SnapshotEngine : public testsupport::EngineHarness {
public:
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        if (phase == clsSnapshotPhase::ended)
            finals[id] = report;
    }
    std::map<int, clsSnapshotReport> finals;
};

std::string png(QColor colour, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QPainter painter(&image);
    painter.fillRect(width / 4, height / 4, width / 2, height / 2, colour.darker(200));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Draws url into file; every request goes to a dead proxy when offline is set.
bool screenshot(const QString& chromium, const QString& url, const QString& file, bool offline,
                QString& error)
{
    QStringList arguments{
        QStringLiteral("--headless"),          QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),       QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--no-first-run"),      QStringLiteral("--window-size=640,480"),
        QStringLiteral("--screenshot=") + file};
    if (offline)
        arguments << QStringLiteral("--proxy-server=http://127.0.0.1:9")
                  << QStringLiteral("--proxy-bypass-list=<-loopback>");
    arguments << url;
    QProcess process;
    process.start(chromium, arguments);
    if (!process.waitForFinished(90000)) {
        process.kill();
        process.waitForFinished();
        error = QStringLiteral("chromium did not finish");
        return false;
    }
    error = QString::fromLocal8Bit(process.readAllStandardError()).right(400);
    return QImage(file).width() > 0;
}

// Opens url in a fresh profile with nothing in the background, and gives the document as
// Chromium holds it once loaded.
bool dumpDom(const QString& chromium, const QString& url, QString& dom, QString& error)
{
    QTemporaryDir profile;
    QStringList arguments{QStringLiteral("--headless"),
                          QStringLiteral("--no-sandbox"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--disable-background-networking"),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--user-data-dir=") + profile.path(),
                          QStringLiteral("--virtual-time-budget=5000"),
                          QStringLiteral("--dump-dom"),
                          url};
    QProcess process;
    process.start(chromium, arguments);
    if (!process.waitForFinished(90000)) {
        process.kill();
        process.waitForFinished();
        error = QStringLiteral("chromium did not finish");
        return false;
    }
    dom = QString::fromUtf8(process.readAllStandardOutput());
    error = QString::fromLocal8Bit(process.readAllStandardError()).right(400);
    return !dom.isEmpty();
}

// Share of pixels that differ by more than a little in any channel.
double difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            QRgb p = a.pixel(x, y);
            QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                std::abs(qBlue(p) - qBlue(q)) > 24)
                ++differing;
        }
    }
    return static_cast<double>(differing) / (a.width() * a.height());
}

} // namespace

class TestSnapshotBrowser : public QObject {
    Q_OBJECT
private slots:
    void offlinePageLooksLikeTheLivePage();
    void savedGoldenPageContactsNoServer();
};

void TestSnapshotBrowser::offlinePageLooksLikeTheLivePage()
{
    QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        QSKIP("chromium is not installed (scripts/install-deps installs it)");
    testsupport::TempHome home;
    testsupport::TestHttpServer server;
    server.setFile(
        "page.html", "text/html; charset=utf-8",
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" "
        "href=\"css/main.css\">"
        "<style>.box{background:url(img/tile.png)}</style></head><body>"
        "<h1>\xE3\x82\xB9\xE3\x83\x8A\xE3\x83\x83\xE3\x83\x97</h1>"
        "<img src=\"img/a.png\" width=120 height=80>"
        "<img srcset=\"img/b.png 1x, img/b2.png 2x\" width=120 height=80>"
        "<img data-src=\"img/lazy.png\" src=\"img/placeholder.png\" width=120 height=80>"
        "<div class=box style=\"width:200px;height:60px\"></div>"
        "<div style=\"width:200px;height:60px;background-image:url('img/inline.png')\"></div>"
        "<iframe src=\"frame.html\" width=200 height=80 "
        "style=\"border:0\"></iframe></body></html>");
    server.setFile(
        "css/main.css", "text/css",
        "@import \"more.css\";\nbody{margin:8px;background:url(../img/body.png) repeat-x}\n");
    server.setFile("css/more.css", "text/css", "h1{color:#c03000;font-family:sans-serif}");
    server.setFile("frame.html", "text/html",
                   "<body style=\"margin:0;background:#3060c0\"><img src=\"img/a.png\"></body>");
    server.setFile("img/a.png", "image/png", png(QColor(200, 40, 40), 120, 80));
    server.setFile("img/b.png", "image/png", png(QColor(40, 160, 40), 120, 80));
    server.setFile("img/b2.png", "image/png", png(QColor(40, 160, 40), 240, 160));
    server.setFile("img/lazy.png", "image/png", png(QColor(200, 160, 0), 120, 80));
    // Live (without a script) the placeholder shows; offline the lazy address is put into src.
    // Both are the same picture, so a lazy image that was not saved shows as a difference.
    server.setFile("img/placeholder.png", "image/png", png(QColor(200, 160, 0), 120, 80));
    server.setFile("img/tile.png", "image/png", png(QColor(120, 0, 160), 20, 20));
    server.setFile("img/inline.png", "image/png", png(QColor(0, 140, 140), 20, 20));
    server.setFile("img/body.png", "image/png", png(QColor(230, 230, 200), 10, 10));

    SnapshotEngine engine;
    std::filesystem::path folder = home.path() / "snap";
    int id = -1;
    QVERIFY(engine.engine.startSnapshot(1, server.url("/site/page.html"), folder.string(), id));
    QVERIFY(engine.waitUntil([&] { return engine.finals.count(id) != 0; }, 60000));
    QCOMPARE(engine.finals[id].failedCount, 0);

    QString live = QString::fromStdString((home.path() / "live.png").string());
    QString offline = QString::fromStdString((home.path() / "offline.png").string());
    QString blocked = QString::fromStdString((home.path() / "blocked.png").string());
    QString error;
    if (!screenshot(chromium, QString::fromStdString(server.url("/site/page.html")), live, false,
                    error))
        QSKIP(qPrintable(QStringLiteral("chromium cannot start: ") + error));
    QString saved =
        QStringLiteral("file://") + QString::fromStdString((folder / "page.html").string());
    QVERIFY2(screenshot(chromium, saved, offline, true, error), qPrintable(error));
    QImage liveImage(live);
    QImage offlineImage(offline);
    double diff = difference(liveImage, offlineImage);
    QVERIFY2(diff < 0.01,
             qPrintable(QStringLiteral("offline page differs in %1 of the pixels").arg(diff)));
    // The control: with the network refused the live page cannot be drawn the same.
    if (screenshot(chromium, QString::fromStdString(server.url("/site/page.html")), blocked, true,
                   error))
        QVERIFY(difference(liveImage, QImage(blocked)) > 0.05);
}

void TestSnapshotBrowser::savedGoldenPageContactsNoServer()
{
    QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        QSKIP("chromium is not installed (scripts/install-deps installs it)");
    struct Case {
        const char* file;
        bool keepScripts;
    };
    for (Case c : {Case{"golden-utf8.html", false}, Case{"golden-sjis.html", false},
                   Case{"golden-utf8.html", true}}) {
        testsupport::TempHome home;
        InitUtlLog("QuillaG");
        QVERIFY(InitUtlIniInfo() && GetUtlIniInfo()->load());
        GetUtlIniInfo()->setInt(IniKey::SnapshotScripts, c.keepScripts ? 1 : 0);
        testsupport::TestHttpServer server;
        std::string page = testsupport::serveGoldenSite(server, c.file);
        std::filesystem::path folder = home.path() / "snap";
        std::string topName;
        {
            SnapshotEngine engine;
            int id = -1;
            QVERIFY(engine.engine.startSnapshot(1, server.url("/site/golden.html"), folder.string(),
                                                id));
            QVERIFY(engine.waitUntil([&] { return engine.finals.count(id) != 0; }, 60000));
            topName = engine.finals[id].topName;
        }
        TermUtlIniInfo();
        TermUtlLog();

        // The control, once: the page as served, opened from disk, reaches the server.
        QString dom;
        QString error;
        if (c.file == std::string("golden-utf8.html") && !c.keepScripts) {
            std::filesystem::path raw = home.path() / "raw.html";
            testsupport::writeFile(raw, page);
            server.clearArrivals();
            if (!dumpDom(chromium, QStringLiteral("file://") + QString::fromStdString(raw.string()),
                         dom, error))
                QSKIP(qPrintable(QStringLiteral("chromium cannot start: ") + error));
            QVERIFY2(server.arrivals().size() >= 2,
                     qPrintable(QString::number(server.arrivals().size())));
        }
        server.clearArrivals();
        QString saved =
            QStringLiteral("file://") + QString::fromStdString((folder / topName).string());
        QVERIFY2(dumpDom(chromium, saved, dom, error), qPrintable(error));
        std::string arrived;
        for (const auto& arrival : server.arrivals())
            arrived += arrival.target + " ";
        QVERIFY2(arrived.empty(),
                 qPrintable(QString::fromStdString(c.file + std::string(": ") + arrived)));
        QVERIFY2(dom.contains(QString::fromUtf8("オフラインでも読める本文 OFFLINE-TEXT")),
                 qPrintable(dom.left(2000)));
        QCOMPARE(dom.contains(QStringLiteral("SCRIPT-RAN")), c.keepScripts);
    }
}

QTEST_MAIN(TestSnapshotBrowser)
#include "test_snapshotBrowser.moc"
