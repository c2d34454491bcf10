// Dialog buttons and placement shared by the five dialogs.
#include "app/BitBtn.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

namespace blubbi {

QPushButton* MakeBitBtn(QDialog* dialog, TBitBtnKind kind, const QString& caption, int x, int y, int w, int h,
                        QWidget* parent) {
    auto* button = new QPushButton(caption, parent ? parent : dialog);
    button->setGeometry(x, y, w, h);
    QStyle* style = button->style();
    switch (kind) {
        case TBitBtnKind::Ok:
            button->setDefault(true);
            button->setIcon(style->standardIcon(QStyle::SP_DialogOkButton));
            QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->done(mrOk); });
            break;
        case TBitBtnKind::Cancel:
            button->setIcon(style->standardIcon(QStyle::SP_DialogCancelButton));
            QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->done(mrCancel); });
            break;
        case TBitBtnKind::All:
            QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->done(mrAll); });
            break;
        case TBitBtnKind::Custom: break;
    }
    return button;
}

void ApplyFormFont(QWidget* form) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    form->setFont(font);
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace blubbi
