// The level-publishing dialog; the caller opens the mail, or the manual, when it returns OK.
#include "app/LevelPublishForm.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "app/Addresses.h"
#include "app/BitBtn.h"

namespace blubbi {

TLevelPublishForm::TLevelPublishForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LevelPublishForm"));
    setWindowTitle(QStringLiteral("Level veröffentlichen"));
    FixedDialogBorder(this, 501, 140);
    ApplyFormFont(this);
    Mail = addr::LevelMail();

    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);  // a configured address is never markup
    // "möschen" is how the game has always put it.
    if (Mail.isEmpty())
        Label1->setText(
            QStringLiteral("Wenn Sie Ihre eigenen Level anderen Benutzern zur Verfügung stellen möschen, "
                           "dann speichern Sie sie mit \"Level speichern...\" und hängen Sie die "
                           ".lev-Datei an eine eMail an. Wer sie bekommt, lädt sie mit \"Level "
                           "öffnen...\". Die Anleitung erklärt es genauer."));
    else
        Label1->setText(QStringLiteral("Wenn Sie Ihre eigenen Level anderen Benutzern zur Verfügung stellen möschen, "
                                       "dann senden Sie diese per eMail an %1. Wir werden diese dann in Sammlungen "
                                       "zum kostenlosen Download zur Verfügung stellen.")
                            .arg(Mail));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(8, 8, 465, 73);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 140 - 50, 501, 2);

    BitBtn1 = MakeBitBtn(this, TBitBtnKind::Ok, Mail.isEmpty() ? QStringLiteral("Anleitung öffnen") : Mail, 106, 104,
                         161, 25);
    BitBtn2 = MakeBitBtn(this, TBitBtnKind::Cancel, QStringLiteral("Abbrechen"), 274, 104, 121, 25);
    setTabOrder(BitBtn1, BitBtn2);
    BitBtn1->setFocus(Qt::OtherFocusReason);
}

QString TLevelPublishForm::Target() const {
    return Mail.isEmpty() ? addr::Manual(QStringLiteral("level-teilen")).toString() : QStringLiteral("mailto:") + Mail;
}

int TLevelPublishForm::exec() {
    CentreOnScreen(this);
    return QDialog::exec();
}

}  // namespace blubbi
