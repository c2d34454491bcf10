// The five dialogs: captions, sizes, controls, texts, button kinds and results, tab order, focus.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/AboutBox.h"
#include "app/BitBtn.h"
#include "app/GameOverForm.h"
#include "app/KeysForm.h"
#include "app/LevelPublishForm.h"
#include "app/WinForm.h"
#include "game/MainForm.h"
#include "tests/app/AppTestSupport.h"

using namespace blubbi;
using blubbi::test::SeeMessageBox;
using blubbi::test::TMessageSeen;
using blubbi::test::TUrlCatcher;
using blubbi::test::WhileModal;

namespace {

void ExpectFixedClientSize(QDialog& d, int w, int h) {
    EXPECT_EQ(d.size(), QSize(w, h));
    EXPECT_EQ(d.minimumSize(), QSize(w, h));
    EXPECT_EQ(d.maximumSize(), QSize(w, h));
    // A fixed dialog border: a close box, no minimise or maximise.
    EXPECT_EQ(d.windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint), Qt::WindowCloseButtonHint);
}

// Result of one showing of `d` while `act` works on it.
int Show(QDialog& d, const std::function<void()>& act) {
    int result = -1;
    auto run = WhileModal([&] { result = d.exec(); },
                          [&](QWidget* modal) {
                              EXPECT_EQ(modal, &d);
                              act();
                          });
    EXPECT_TRUE(run.Acted);
    EXPECT_FALSE(run.TimedOut);
    return result;
}

// The widgets reached from `first` by Tab, `count` steps.
std::vector<QWidget*> TabChain(QWidget* first, int count) {
    std::vector<QWidget*> chain{first};
    QWidget* w = first;
    while (int(chain.size()) < count) {
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled());
        chain.push_back(w);
    }
    return chain;
}

std::function<void(const QString&)> NoShell() {
    return [](const QString&) {};
}

}  // namespace

TEST(GameOverForm, Layout) {
    TGameOverForm d(NoShell());
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Game Over"));
    ExpectFixedClientSize(d, 542, 343);
    EXPECT_EQ(d.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(d.Label1->text(), QStringLiteral("Game Over"));
    EXPECT_EQ(d.Label1->pos(), QPoint(170, 24));
    EXPECT_EQ(d.Label1->font().pixelSize(), 32);
    EXPECT_TRUE(d.Label1->font().bold());
    EXPECT_EQ(d.Label1->palette().color(QPalette::WindowText), QColor(Qt::yellow));
    EXPECT_EQ(d.GroupBox1->title(), QStringLiteral("Punkte in Internet-Hiscore Liste veröffentlichen"));
    EXPECT_EQ(d.GroupBox1->geometry(), QRect(16, 96, 513, 161));
    EXPECT_EQ(d.GroupBox1->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(d.Label2->text(), QStringLiteral("Ihr Name:"));
    EXPECT_EQ(d.Label2->pos(), QPoint(16, 32));
    EXPECT_EQ(d.Label3->text(), QStringLiteral("Ihre Punktzahl:"));
    EXPECT_EQ(d.Label3->pos(), QPoint(16, 64));
    EXPECT_EQ(d.NameEd->geometry(), QRect(96, 32, 145, 21));
    EXPECT_EQ(d.PunkteEd->geometry(), QRect(96, 60, 145, 21));
    EXPECT_TRUE(d.PunkteEd->isReadOnly());
    EXPECT_FALSE(d.NameEd->isReadOnly());
    EXPECT_EQ(d.BitBtn4->text(), QStringLiteral("Ins Internet übertragen"));
    EXPECT_EQ(d.BitBtn4->geometry(), QRect(16, 96, 177, 25));
    EXPECT_EQ(d.BitBtn3->text(), QStringLiteral("Hiscoreliste anschauen"));
    EXPECT_EQ(d.BitBtn3->geometry(), QRect(200, 96, 177, 25));
    EXPECT_FALSE(d.BitBtn4->icon().isNull());
    EXPECT_FALSE(d.BitBtn3->icon().isNull());
    EXPECT_EQ(d.BitBtn2->text(), QStringLiteral("&Continue"));
    EXPECT_EQ(d.BitBtn2->geometry(), QRect(138, 304, 129, 25));
    EXPECT_TRUE(d.BitBtn2->isDefault());
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("&Neues Spiel"));
    EXPECT_EQ(d.BitBtn1->geometry(), QRect(274, 304, 129, 25));
    EXPECT_FALSE(d.BitBtn1->isDefault());
}

TEST(GameOverForm, NameStartsWithTheLoginName) {
    const passwd* pw = getpwuid(geteuid());
    const QString expected = pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
    TGameOverForm d(NoShell());
    EXPECT_EQ(d.NameEd->text(), expected);
    EXPECT_EQ(TGameOverForm::LoginName(), expected);
}

TEST(GameOverForm, ResultsFocusTabOrderAndTheNameStays) {
    TGameOverForm d(NoShell());
    d.SetPoints(QStringLiteral("4711"));
    EXPECT_EQ(d.PunkteEd->text(), QStringLiteral("4711"));

    EXPECT_EQ(Show(d,
                   [&] {
                       EXPECT_EQ(QApplication::focusWidget(), d.BitBtn1);
                       // "&Neues Spiel", "&Continue", then the group's controls in order.
                       EXPECT_EQ(TabChain(d.BitBtn1, 6), (std::vector<QWidget*>{d.BitBtn1, d.BitBtn2, d.NameEd,
                                                                                d.PunkteEd, d.BitBtn3, d.BitBtn4}));
                       d.NameEd->setText(QStringLiteral("Blubbi-Fan"));
                       d.BitBtn2->click();
                   }),
              mrOk);
    EXPECT_EQ(Show(d, [&] { d.BitBtn1->click(); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { QTest::qWait(550), QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);  // not at once
    EXPECT_EQ(Show(d, [&] { d.close(); }), mrCancel);
    // Enter on the focused "&Neues Spiel" presses it, once the dialog stood a moment.
    EXPECT_EQ(Show(d, [&] { QTest::qWait(550), QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }),
              mrCancel);
    EXPECT_EQ(d.NameEd->text(), QStringLiteral("Blubbi-Fan"));
}

// Space and up held as the last life went, a key typed as the dialog opens: none of them answers
// or reaches the name; a key pressed later does, and the name is not selected to be typed over.
TEST(GameOverForm, OnlyADeliberateKeyAnswers) {
    TGameOverForm d(NoShell());
    d.SetPoints(QStringLiteral("620"), 4);
    d.NameEd->setText(QStringLiteral("Blubbi-Fan"));
    auto key = [](QEvent::Type type, int code, const QString& text, bool repeat) {
        QKeyEvent e(type, code, Qt::NoModifier, text, repeat);
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    };
    bool open = false;
    QString typed;
    d.IgnoreHeld({blubbi::VK_SPACE, blubbi::VK_UP});
    EXPECT_EQ(Show(d,
                   [&] {
                       key(QEvent::KeyPress, Qt::Key_Space, " ", true);
                       key(QEvent::KeyPress, Qt::Key_Up, "", true);
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // too soon
                       QTest::qWait(int(TGameOverForm::kCalmMs) + 50);
                       for (int i = 0; i < 3; ++i) key(QEvent::KeyPress, Qt::Key_Space, " ", true);
                       key(QEvent::KeyRelease, Qt::Key_Space, " ", false);
                       key(QEvent::KeyPress, Qt::Key_Up, "", true);
                       open = d.isVisible() && QApplication::focusWidget() == d.BitBtn1;
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                       QTest::qWait(20);
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::NoModifier);
                       typed = d.NameEd->text();
                       d.BitBtn1->click();
                   }),
              mrCancel);
    EXPECT_TRUE(open) << "a key held from the game, or pressed too soon, answered";
    EXPECT_EQ(typed, QStringLiteral("Blubbi-Fanx"));
}

TEST(GameOverForm, HiscoreListOpensAndTheDialogStays) {
    TUrlCatcher urls;
    qputenv("BLUBBI_HISCORE_URL", "http://127.0.0.1:8080/");
    TGameOverForm d([&](const QString& a) { QDesktopServices::openUrl(QUrl(a)); });
    bool stillOpen = false;
    EXPECT_EQ(Show(d,
                   [&] {
                       d.BitBtn3->click();
                       stillOpen = d.isVisible();
                       d.BitBtn2->click();
                   }),
              mrOk);
    qunsetenv("BLUBBI_HISCORE_URL");
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(urls.Opened.size(), 1u);
    EXPECT_EQ(urls.Opened[0], QUrl(QStringLiteral("http://127.0.0.1:8080/showhi.php")));
}

TEST(WinForm, LayoutAndResults) {
    TWinForm d(QStringLiteral("/nonexistent/"));  // without its picture it still works
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Gewonnen"));
    ExpectFixedClientSize(d, 611, 404);
    EXPECT_EQ(d.palette().color(QPalette::Window), QColor(Qt::white));
    const Qt::WindowFlags flags = d.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));
    EXPECT_EQ(d.Image1->geometry(), QRect(16, 16, 320, 376));
    EXPECT_EQ(d.Label1->text(), QStringLiteral("Herzlichen Glückwunsch!"));
    EXPECT_EQ(d.Label1->pos(), QPoint(232, 16));
    EXPECT_EQ(d.Label1->font().pixelSize(), 24);
    EXPECT_EQ(d.Label2->geometry(), QRect(328, 64, 273, 289));
    EXPECT_TRUE(d.Label2->wordWrap());
    EXPECT_GE(d.Label2->text().count(QStringLiteral("\n\n")), 1);
    EXPECT_EQ(d.Label2->font().pixelSize(), 15);
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("Fertig..."));
    EXPECT_EQ(d.BitBtn1->geometry(), QRect(504, 368, 99, 25));
    EXPECT_EQ(Show(d, [&] { d.BitBtn1->click(); }), mrAll);
    EXPECT_EQ(Show(d, [&] { d.close(); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
}

TEST(WinForm, ShowsItsPicture) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("grafiken")));
    QImage picture(320, 376, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("grafiken/gewonnen.gif")), "GIF") ||
                picture.save(dir.filePath(QStringLiteral("grafiken/gewonnen.gif")), "PNG"));
    TWinForm d(dir.path() + QLatin1Char('/'));
    EXPECT_FALSE(d.Image1->pixmap().isNull());
    EXPECT_EQ(d.Image1->geometry(), QRect(16, 16, 320, 376));
}

// Whatever face stands in for "Arial Black", it is a heavy one.
TEST(WinForm, TextsComeInAHeavyFace) {
    TWinForm win(QStringLiteral("/nonexistent/"));
    TGameOverForm over(NoShell());
    for (QLabel* l : {win.Label1, win.Label2, over.Label1}) {
        const QFontInfo face(l->font());
        EXPECT_GE(face.weight(), int(QFont::Bold)) << face.family().toStdString();
        EXPECT_TRUE(QStringList({"Arial Black", "Liberation Sans", "DejaVu Sans"}).contains(face.family()))
            << face.family().toStdString();
    }
}

TEST(GameOverForm, OpensAtTheSamePlaceEveryTime) {
    TGameOverForm d(NoShell());
    std::vector<QRect> frames, clients;
    for (int i = 0; i < 3; ++i)
        Show(d, [&] {
            frames.push_back(d.frameGeometry());
            clients.push_back(d.geometry());
            d.BitBtn2->click();
        });
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_NE(frames[0], clients[0]) << "the window has no frame here; the test would not see a frame-based place";
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(frames[i], frames[0]) << i;
        EXPECT_EQ(clients[i], clients[0]) << i;
    }
}

TEST(KeysForm, LayoutAndResults) {
    TKeysForm d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Tastenbelegung"));
    ExpectFixedClientSize(d, 363, 178);
    EXPECT_EQ(d.Label1->text(), QStringLiteral("Cursor links - nach links laufen\nCursor rechts - nach rechts laufen\n"
                                               "Cursor oben - springen\nLeertaste - Blasen spucken\n"
                                               "Esc oder Pause - anhalten, weiter"));
    EXPECT_EQ(d.Label1->geometry(), QRect(16, 16, 317, 110));
    EXPECT_EQ(d.Label1->font().pixelSize(), 19);
    EXPECT_TRUE(d.Label1->font().bold());
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.BitBtn1->geometry(), QRect(125, 144, 113, 25));
    EXPECT_TRUE(d.BitBtn1->isDefault());
    EXPECT_EQ(Show(d, [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }), mrOk);
    EXPECT_EQ(Show(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { d.close(); }), mrCancel);
}

TEST(KeysForm, DoubleClickRevealsTheCheatCode) {
    TKeysForm d;
    TMessageSeen seen;
    EXPECT_EQ(Show(d,
                   [&] {
                       seen = SeeMessageBox([&] { QTest::mouseDClick(d.Label1, Qt::LeftButton); });
                       d.BitBtn1->click();
                   }),
              mrOk);
    EXPECT_TRUE(seen.Seen);
    EXPECT_EQ(seen.Text, QStringLiteral("Geheim-Cheat-Code: skipahead"));
    EXPECT_TRUE(seen.Title.isEmpty());
    EXPECT_EQ(seen.Icon, QMessageBox::Information);
}

TEST(LevelPublishForm, LayoutAndResults) {
    TLevelPublishForm d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Level veröffentlichen"));
    ExpectFixedClientSize(d, 501, 140);
    EXPECT_EQ(d.Label1->geometry(), QRect(8, 8, 465, 73));
    EXPECT_TRUE(d.Label1->wordWrap());
    // Without a configured level mail it explains how to pass a level file on, and OK opens the manual there.
    EXPECT_TRUE(d.Label1->text().contains(QStringLiteral(".lev-Datei an eine eMail an")));
    EXPECT_LE(d.Label1->heightForWidth(d.Label1->width()), d.Label1->height());
    EXPECT_EQ(d.Bevel1->geometry().top(), 140 - 50);
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("Anleitung öffnen"));
    const QUrl target(d.Target());
    EXPECT_TRUE(target.isLocalFile());
    EXPECT_EQ(QFileInfo(target.toLocalFile()).fileName(), QStringLiteral("anleitung.html"));
    EXPECT_EQ(target.fragment(), QStringLiteral("level-teilen"));
    EXPECT_EQ(d.BitBtn1->geometry(), QRect(106, 104, 161, 25));
    EXPECT_TRUE(d.BitBtn1->isDefault());
    EXPECT_EQ(d.BitBtn2->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(d.BitBtn2->geometry(), QRect(274, 104, 121, 25));
    EXPECT_EQ(Show(d,
                   [&] {
                       EXPECT_EQ(TabChain(d.BitBtn1, 2)[1], d.BitBtn2);
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                   }),
              mrOk);
    EXPECT_EQ(Show(d, [&] { d.BitBtn2->click(); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { d.close(); }), mrCancel);
}

TEST(AboutBox, LayoutResultsAndHomePage) {
    TUrlCatcher urls({"http", "https", "mailto", "file"});
    TAboutBox d(QStringLiteral("/nonexistent/"), [](const QString& a) { QDesktopServices::openUrl(QUrl(a)); });
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Info"));
    ExpectFixedClientSize(d, 664, 453);
    EXPECT_EQ(d.Panel1->geometry(), QRect(8, 8, 649, 385));
    EXPECT_EQ(d.Panel1->palette().color(QPalette::Window), QColor(0xF0, 0xCA, 0xA6));
    EXPECT_EQ(d.ProgramIcon->geometry(), QRect(16, 40, 306, 322));
    EXPECT_TRUE(d.ProgramIcon->hasScaledContents());
    for (QLabel* l : {d.ProductName, d.Copyright, d.Comments, d.Label1, d.Label2, d.Label3}) {
        EXPECT_GE(l->x(), 336);
        EXPECT_FALSE(l->text().isEmpty());
    }
    EXPECT_EQ(d.ProductName->font().pixelSize(), 24);
    EXPECT_TRUE(d.ProductName->font().bold());
    EXPECT_TRUE(d.Label1->font().bold());
    EXPECT_TRUE(d.Label3->wordWrap());
    EXPECT_EQ(d.BitBtnXP1->geometry(), QRect(336, 240, 169, 25));
    EXPECT_EQ(d.BitBtnXP1->text(), QStringLiteral("Anleitung öffnen"));
    EXPECT_EQ(d.BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(d.BitBtn1->geometry(), QRect(241, 404, 181, 37));
    EXPECT_TRUE(d.BitBtn1->isDefault());
    bool stillOpen = false;
    EXPECT_EQ(Show(d,
                   [&] {
                       d.BitBtnXP1->click();
                       stillOpen = d.isVisible();
                       d.BitBtn1->click();
                   }),
              mrOk);
    EXPECT_TRUE(stillOpen);
    // Without a configured home page: the game's own manual.
    ASSERT_EQ(urls.Opened.size(), 1u);
    EXPECT_TRUE(urls.Opened[0].isLocalFile());
    EXPECT_EQ(QFileInfo(urls.Opened[0].toLocalFile()).fileName(), QStringLiteral("anleitung.html"));
    EXPECT_EQ(Show(d, [&] { QTest::keyClick(&d, Qt::Key_Escape); }), mrCancel);
    EXPECT_EQ(Show(d, [&] { d.close(); }), mrCancel);
}
