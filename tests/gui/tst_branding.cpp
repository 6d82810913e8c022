/* tst_branding.cpp: the branding header on the real panel: the four header texts start-up
** creates, lying in the header band with the logo wherever the window's layout puts the band,
** ShowLogo outside its table changing nothing, and start-up without the logo file (run as a
** copy of this program in a directory without it).
*/
#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProcess>

#include <climits>

#include "gui/gui.h"
#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;

namespace
{

QList<QLabel *> Labels()
{
    return fixture::PanelWindow()->findChildren<QLabel *>();
}

QPixmap Logo()
{
    return qobject_cast<QLabel *>(fixture::Widget(PANEL_LOGO))->pixmap();
}

/* Where a widget lies on the window. */
QRect OnWindow(QWidget *w)
{
    return QRect(w->mapTo(fixture::PanelWindow(), QPoint(0, 0)), w->size());
}

/* Loads the real panel and starts up as the program does (InitVars, panel shown). Afterwards
** exactly four new text controls stand on the panel: white on the header blue, the title at
** 18 points right of the logo, the contact lines at 12 points at the left edge. Start-up
** carries on after the header: a threshold set before reaches its variable, the status line
** reads "InitVars". The new text controls go to `created`. */
void StartUpShowsHeader(QList<QLabel *> *created = nullptr)
{
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    QVERIFY(panel > 0);
    GetProjectDir(proj_dir);
    GetDocumentDir(doc_dir);
    const QList<QLabel *> before = Labels();
    SetCtrlVal(panel, PANEL_THRESHOLD, 201);
    InitVars();
    DisplayPanel(panel);
    QVERIFY(QTest::qWaitForWindowExposed(fixture::PanelWindow()));
    QCOMPARE(int(threshold), 201);
    char text[256] = "";
    GetCtrlVal(panel, PANEL_STATUS, text);
    QCOMPARE(QByteArray(text), QByteArray("InitVars"));

    QStringList header; /* text, left, top, points, text colour, background */
    for (QLabel *l : Labels()) {
        if (before.contains(l)) continue;
        if (created) *created << l;
        const int id = ControlIdOf(l);
        GetCtrlVal(panel, id, text);
        QVERIFY(l->isVisible());
        header << QString::asprintf(
            "%s %d,%d %dpt %06x on %06x", text, fixture::Attr(id, ATTR_LEFT),
            fixture::Attr(id, ATTR_TOP), fixture::Attr(id, ATTR_TEXT_POINT_SIZE),
            fixture::Attr(id, ATTR_TEXT_COLOR), fixture::Attr(id, ATTR_TEXT_BGCOLOR));
    }
    header.sort();
    QCOMPARE(header, (QStringList{"Example Sensorics Ltd. 15,5 12pt ffffff on 0080ff",
                                  "Tel. +00 000 000 000 15,20 12pt ffffff on 0080ff",
                                  "Veltra-Razov V2.0 218,30 18pt ffffff on 0080ff",
                                  "www.example.com 15,35 12pt ffffff on 0080ff"}));
    QCOMPARE(fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR), 0x0080FF);
}

} // namespace

class Branding : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup() { fixture::DiscardRealPanel(); }
    void headerAfterStartUp();
    void indexOutsideTableChangesNothing_data();
    void indexOutsideTableChangesNothing();
    void startUpWithoutLogoFile();
};

/* The texts and the logo lie in the header band, and stay there, in place, when a menu bar
** is added above it. */
void Branding::headerAfterStartUp()
{
    QList<QLabel *> texts;
    StartUpShowsHeader(&texts);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(fixture::Attr(PANEL_LOGO, ATTR_LEFT), 168);
    QCOMPARE(fixture::Attr(PANEL_LOGO, ATTR_TOP), 6);
    const QImage file(QStringLiteral(VELTRA_BIN_DIR "/logo.png"));
    QVERIFY(!file.isNull());
    QCOMPARE(Logo().size(), file.size());

    QCOMPARE(texts.size(), 4);
    const QList<QWidget *> inHeader = {fixture::Widget(PANEL_LOGO), texts[0], texts[1], texts[2],
                                       texts[3]};
    QWidget *header = fixture::Widget(PANEL_HEADER_DECO);
    auto offsets = [&] {
        QList<QPoint> out;
        for (QWidget *w : inHeader) {
            if (!OnWindow(header).contains(OnWindow(w))) return QList<QPoint>{};
            out << OnWindow(w).topLeft() - OnWindow(header).topLeft();
        }
        return out;
    };
    const QList<QPoint> placed = offsets();
    QCOMPARE(placed.size(), 5);
    const int top = OnWindow(header).top();
    auto *menu = new QMenuBar(fixture::PanelWindow());
    menu->addMenu(QStringLiteral("File"));
    fixture::PanelWindow()->layout()->setMenuBar(menu);
    QTRY_VERIFY(OnWindow(header).top() > top);
    QCOMPARE(offsets(), placed);
}

void Branding::indexOutsideTableChangesNothing_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("-1") << -1;
    QTest::newRow("12") << 12;
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MAX") << INT_MAX;
}

/* Nothing ShowLogo may touch moves: the panel's controls, the frame, the logo. */
void Branding::indexOutsideTableChangesNothing()
{
    QFETCH(int, variant);
    QVERIFY(fixture::LoadRealPanel() > 0);
    SetCtrlAttribute(panel, PANEL_HEADER_DECO, ATTR_FRAME_COLOR, 0x123456); /* what a row sets */
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_LEFT, 300);
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_TOP, 9);
    const auto state = [] {
        return QVariantList{fixture::PanelWindow()->findChildren<QWidget *>().size(),
                            fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR),
                            fixture::Attr(PANEL_LOGO, ATTR_LEFT),
                            fixture::Attr(PANEL_LOGO, ATTR_TOP), Logo().cacheKey()};
    };
    const QVariantList before = state();
    ShowLogo(variant);
    QCOMPARE(state(), before);
}

/* The program copied into an empty directory finds no logo beside itself. */
void Branding::startUpWithoutLogoFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("tst_branding"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(copy, {QStringLiteral("--without-logo")});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray out = child.readAll();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
    QVERIFY2(out.contains("PASS   : HeaderWithoutLogo::startUp()"), out.constData());
}

/* Run in the copy: start-up with the logo file missing. */
class HeaderWithoutLogo : public QObject
{
    Q_OBJECT

  private slots:
    void startUp()
    {
        StartUpShowsHeader();
        if (QTest::currentTestFailed()) return;
        QVERIFY(!QDir(QString::fromLocal8Bit(proj_dir)).exists(QStringLiteral("logo.png")));
        QVERIFY(Logo().isNull());
        fixture::DiscardRealPanel();
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--without-logo") == 0) {
        HeaderWithoutLogo child;
        return QTest::qExec(&child, 1, argv);
    }
    Branding test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_branding.moc"
