// The key-bindings dialog.
#include "app/KeysForm.h"

#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/BitBtn.h"

namespace blubbi {

TKeysForm::TKeysForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("KeysForm"));
    setWindowTitle(QStringLiteral("Tastenbelegung"));
    FixedDialogBorder(this, 363, 178);
    ApplyFormFont(this);

    Label1 = new QLabel(QStringLiteral("Cursor links - nach links laufen\n"
                                       "Cursor rechts - nach rechts laufen\n"
                                       "Cursor oben - springen\n"
                                       "Leertaste - Blasen spucken\n"
                                       "Esc oder Pause - anhalten, weiter"),
                        this);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    Label1->setFont(font);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setGeometry(16, 16, 317, 110);  // a line more than the four walking keys need: the pause
    Label1->installEventFilter(this);

    BitBtn1 = MakeBitBtn(this, TBitBtnKind::Ok, QStringLiteral("OK"), 125, 144, 113, 25);
    BitBtn1->setFocus(Qt::OtherFocusReason);
}

int TKeysForm::exec() {
    CentreOnScreen(this);
    return QDialog::exec();
}

bool TKeysForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonDblClick) {
        Label1DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TKeysForm::Label1DblClick() {
    QMessageBox box(QMessageBox::Information, QString(), QStringLiteral("Geheim-Cheat-Code: skipahead"),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("CheatBox"));
    box.exec();
}

}  // namespace blubbi
