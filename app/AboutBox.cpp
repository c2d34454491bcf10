// The about dialog.
#include "app/AboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

#include "app/Addresses.h"
#include "app/BitBtn.h"
#include "base/Version.h"

namespace blubbi {

TAboutBox::TAboutBox(const QString& programDir, std::function<void(const QString&)> shellOpen, QWidget* parent)
    : QDialog(parent), ShellOpen(std::move(shellOpen)) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    FixedDialogBorder(this, 664, 453);
    ApplyFormFont(this);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 649, 385);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    QPalette p = Panel1->palette();
    p.setColor(QPalette::Window, QColor(0xF0, 0xCA, 0xA6));
    p.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(p);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(16, 40, 306, 322);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap(programDir + QStringLiteral("grafiken/info.jpg")));

    auto text = [this](const QString& s, int y, int h) {
        auto* label = new QLabel(s, Panel1);
        label->setGeometry(336, y, 297, h);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    ProductName = text(QStringLiteral("Blubbi Blubbo ") + QString::fromStdString(ProgramVersion()), 16, 32);
    QFont heading(QStringLiteral("Arial Narrow"));
    heading.setPixelSize(24);
    heading.setBold(true);
    ProductName->setFont(heading);
    Copyright = text(QStringLiteral("Copyright © Velkor Spielesoftware"), 56, 17);
    HomePage = addr::HomePage();
    Comments = text(QStringLiteral("Die Anleitung liegt dem Spiel bei."), 76, 17);
    Label1 = text(QStringLiteral("Velkor macht kleine Spiele für die ganze Familie."), 104, 34);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = text(QStringLiteral("Alle Bilder, Klänge und Level dieses Spiels sind bei uns entstanden."), 144, 34);
    Label3 = text(HomePage.isEmpty()
                      ? QStringLiteral("In der Anleitung steht, wie Sie Ihre Hiscores teilen und eigene Level "
                                       "weitergeben.")
                      : QStringLiteral("Auf unserer Homepage finden Sie neue Level, die Hiscore-Liste und unsere "
                                       "anderen Spiele."),
                  184, 50);

    BitBtnXP1 =
        MakeBitBtn(this, TBitBtnKind::Custom, HomePage.isEmpty() ? QStringLiteral("Anleitung öffnen") : HomePage, 336,
                   240, 169, 25, Panel1);
    BitBtnXP1->setIcon(style()->standardIcon(QStyle::SP_DirLinkIcon));
    BitBtnXP1->setAutoDefault(false);
    connect(BitBtnXP1, &QPushButton::clicked, this, &TAboutBox::BitBtnXP1Click);

    BitBtn1 = MakeBitBtn(this, TBitBtnKind::Ok, QStringLiteral("OK"), 241, 404, 181, 37);
    setTabOrder(BitBtnXP1, BitBtn1);
    BitBtn1->setFocus(Qt::OtherFocusReason);
}

int TAboutBox::exec() {
    CentreOnScreen(this);
    return QDialog::exec();
}

void TAboutBox::BitBtnXP1Click() { ShellOpen(HomePage.isEmpty() ? addr::Manual().toString() : HomePage); }

}  // namespace blubbi
