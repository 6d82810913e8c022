/* tst_branding.cpp: the branding header on the real panel: the four header texts created at
** start-up, the frame and the logo, rows outside the table changing nothing, and start-up
** without the logo file (run as a copy of this program in a directory without it).
*/
#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QProcess>

#include <climits>

#include "gui/gui.h"
#include "params/params.h"
#include "support/panelfixture.h"

using namespace vr;

namespace
{

/* Loads the real panel as start-up does, but stops before InitVars. */
int LoadWithoutStartUp()
{
    BindCallbacks(cbfTable, cbfTableLen);
    panel = LoadPanel(0, VELTRA_BIN_DIR "/Veltrav20.uir", 1);
    if (panel > 0) {
        GetProjectDir(proj_dir);
        GetDocumentDir(doc_dir);
    }
    return panel;
}

QList<QLabel *> Labels()
{
    return fixture::PanelWindow()->findChildren<QLabel *>();
}

/* Text controls that appeared since `before`. */
QList<QLabel *> NewLabels(const QList<QLabel *> &before)
{
    QList<QLabel *> added;
    for (QLabel *l : Labels())
        if (!before.contains(l)) added << l;
    return added;
}

/* Every control of the panel carries its identifier in the "ctrlId" property, as the panel
** file gives it; controls created at run time get theirs from NewCtrl. */
int IdOf(QWidget *w)
{
    return w->property("ctrlId").toInt();
}

QString TextOf(int id)
{
    char text[256] = "";
    GetCtrlVal(panel, id, text);
    return QString::fromLatin1(text);
}

/* The four texts of the program's header: white on the header blue in the application
** font, the title at 18 points right of the logo, the contact lines at 12 points one above
** the other at the left edge. */
void CheckHeaderTexts(const QList<QLabel *> &created)
{
    const struct {
        const char *text;
        int left, top, points;
    } expected[] = {
        {"Veltra-Razov V2.0", 218, 30, 18},
        {"Example Sensorics Ltd.", 15, 5, 12},
        {"Tel. +00 000 000 000", 15, 20, 12},
        {"www.example.com", 15, 35, 12},
    };
    QCOMPARE(created.size(), 4);
    QStringList texts;
    for (QLabel *l : created)
        texts << TextOf(IdOf(l));
    for (const auto &e : expected) {
        const int at = texts.indexOf(QLatin1String(e.text));
        QVERIFY2(at >= 0, e.text);
        QVERIFY2(texts.count(QLatin1String(e.text)) == 1, e.text);
        const int id = IdOf(created[at]);
        char font[64] = "";
        GetCtrlAttributeText(panel, id, ATTR_TEXT_FONT, font, sizeof font);
        QCOMPARE(QLatin1String(font), QLatin1String("NIApp"));
        QCOMPARE(fixture::Attr(id, ATTR_TEXT_COLOR), 0xFFFFFF);
        QCOMPARE(fixture::Attr(id, ATTR_TEXT_BGCOLOR), 0x0080FF);
        QCOMPARE(fixture::Attr(id, ATTR_TEXT_POINT_SIZE), e.points);
        QCOMPARE(fixture::Attr(id, ATTR_LEFT), e.left);
        QCOMPARE(fixture::Attr(id, ATTR_TOP), e.top);
        QVERIFY(created[at]->isVisible());
    }
}

/* Start-up from the loaded panel: InitVars, then the panel shown. A threshold set on the
** panel first must reach the parameter variables, which InitVars reads after the header. */
void StartUp()
{
    SetCtrlVal(panel, PANEL_THRESHOLD, 201);
    InitVars();
    DisplayPanel(panel);
    QVERIFY(QTest::qWaitForWindowExposed(fixture::PanelWindow()));
    QCOMPARE(int(threshold), 201);
}

QLabel *Logo()
{
    return qobject_cast<QLabel *>(fixture::Widget(PANEL_LOGO));
}

/* Everything ShowLogo may touch: the controls on the panel, the frame colour, the logo's
** position and picture. */
QStringList HeaderState()
{
    QStringList s;
    for (QWidget *w : fixture::PanelWindow()->findChildren<QWidget *>())
        s << QString::number(quintptr(w), 16);
    s << QStringLiteral("frame %1").arg(fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR))
      << QStringLiteral("logo %1,%2 picture %3")
             .arg(fixture::Attr(PANEL_LOGO, ATTR_LEFT))
             .arg(fixture::Attr(PANEL_LOGO, ATTR_TOP))
             .arg(Logo()->pixmap().cacheKey());
    return s;
}

} // namespace

class Branding : public QObject
{
    Q_OBJECT

  private slots:
    void cleanup();
    void headerAfterStartUp();
    void indexOutsideTableChangesNothing_data();
    void indexOutsideTableChangesNothing();
    void otherRowsAddFourTexts_data();
    void otherRowsAddFourTexts();
    void startUpWithoutLogoFile();
};

void Branding::cleanup()
{
    fixture::DiscardRealPanel();
}

void Branding::headerAfterStartUp()
{
    QVERIFY(LoadWithoutStartUp() > 0);
    const QList<QLabel *> before = Labels();
    StartUp();
    if (QTest::currentTestFailed()) return;

    CheckHeaderTexts(NewLabels(before));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR), 0x0080FF);
    QCOMPARE(fixture::Attr(PANEL_LOGO, ATTR_TOP), 6);
    QCOMPARE(fixture::Attr(PANEL_LOGO, ATTR_LEFT), 168);
    const QImage file(QStringLiteral(VELTRA_BIN_DIR "/logo.png"));
    QVERIFY(!file.isNull());
    QCOMPARE(Logo()->pixmap().size(), file.size());
}

void Branding::indexOutsideTableChangesNothing_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("-1") << -1;
    QTest::newRow("12") << 12;
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MAX") << INT_MAX;
}

void Branding::indexOutsideTableChangesNothing()
{
    QFETCH(int, variant);
    QVERIFY(fixture::LoadRealPanel() > 0);
    /* Marks every row would overwrite. */
    SetCtrlAttribute(panel, PANEL_HEADER_DECO, ATTR_FRAME_COLOR, 0x123456);
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_LEFT, 300);
    SetCtrlAttribute(panel, PANEL_LOGO, ATTR_TOP, 9);
    const QStringList before = HeaderState();

    ShowLogo(variant);
    QCOMPARE(HeaderState(), before);
}

void Branding::otherRowsAddFourTexts_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("first row") << 0;
    QTest::newRow("the program's row again") << 5;
    QTest::newRow("last row") << 11;
}

/* Every row of the table builds a header: it adds four texts, the same title among them,
** and removes none. */
void Branding::otherRowsAddFourTexts()
{
    QFETCH(int, variant);
    QVERIFY(fixture::LoadRealPanel() > 0);
    SetCtrlAttribute(panel, PANEL_HEADER_DECO, ATTR_FRAME_COLOR, 0x123456);
    const QList<QLabel *> before = Labels();

    ShowLogo(variant);
    const QList<QLabel *> added = NewLabels(before);
    QCOMPARE(added.size(), 4);
    QCOMPARE(Labels().size(), before.size() + 4);
    int titles = 0;
    for (QLabel *l : added)
        if (TextOf(IdOf(l)) == QLatin1String("Veltra-Razov V2.0")) {
            ++titles;
            QCOMPARE(fixture::Attr(IdOf(l), ATTR_TEXT_POINT_SIZE), 18);
        }
    QCOMPARE(titles, 1);
    QVERIFY(fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR) != 0x123456);
}

/* The program copied into an empty directory finds no logo beside itself. */
void Branding::startUpWithoutLogoFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("tst_branding"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("logo.png"))));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
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
    void startUp();
};

void HeaderWithoutLogo::startUp()
{
    QVERIFY(LoadWithoutStartUp() > 0);
    char dir[260] = "";
    GetProjectDir(dir);
    QVERIFY2(!QFileInfo::exists(QDir(QString::fromLocal8Bit(dir)).filePath("logo.png")), dir);
    const QList<QLabel *> before = Labels();
    StartUp();
    if (QTest::currentTestFailed()) return;

    QVERIFY(Logo()->pixmap().isNull());
    QCOMPARE(fixture::Attr(PANEL_HEADER_DECO, ATTR_FRAME_COLOR), 0x0080FF);
    CheckHeaderTexts(NewLabels(before));
    if (QTest::currentTestFailed()) return;
    QCOMPARE(TextOf(PANEL_STATUS), QStringLiteral("InitVars"));
    fixture::DiscardRealPanel();
}

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
