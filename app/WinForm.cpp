// The win dialog: the picture of the creature, the congratulation and "Fertig...".
#include "app/WinForm.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "app/BitBtn.h"

namespace blubbi {

TWinForm::TWinForm(const QString& programDir, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("WinForm"));
    setWindowTitle(QStringLiteral("Gewonnen"));
    FixedDialogBorder(this, 611, 404);
    ApplyFormFont(this);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    Image1 = new QLabel(this);
    const QPixmap picture(programDir + QStringLiteral("grafiken/gewonnen.gif"));
    Image1->setPixmap(picture);
    Image1->setGeometry(16, 16, picture.isNull() ? 320 : picture.width(), picture.isNull() ? 376 : picture.height());

    Label1 = new QLabel(QStringLiteral("Herzlichen Glückwunsch!"), this);
    Label1->setFont(HeavyFont(24));
    Label1->move(232, 16);
    Label1->adjustSize();

    Label2 = new QLabel(this);
    Label2->setText(
        QStringLiteral("Sie haben alle Level geschafft! Kein Feind ist Blubbi entkommen, jede Blase hat ihr Ziel "
                       "gefunden.\n\n"
                       "Blubbi ruht sich jetzt ein wenig aus. Danach geht es wieder von vorne los - Ihre Punkte "
                       "nehmen Sie mit.\n\n"
                       "Noch nicht genug? Bauen Sie im Leveleditor Ihre eigenen Level!"));
    Label2->setFont(HeavyFont(15));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setGeometry(328, 64, 273, 289);

    BitBtn1 = MakeBitBtn(this, TBitBtnKind::All, QStringLiteral("Fertig..."), 504, 368, 99, 25);
    BitBtn1->setFocus(Qt::OtherFocusReason);
}

int TWinForm::exec() {
    CentreOnScreen(this);
    return QDialog::exec();
}

}  // namespace blubbi
