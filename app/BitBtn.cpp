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

QFont HeavyFont(int pixelSize) {
    QFont font(QStringLiteral("Arial Black"));
    font.setFamilies({QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Black);  // the fallbacks then come in their bold cut
    font.setPixelSize(pixelSize);
    return font;
}

void FixedDialogBorder(QDialog* dialog, int width, int height) {
    dialog->setFixedSize(width, height);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The client area is placed, not the frame: before the first showing the frame is not known
    // yet, and a frame-based place would put the first showing lower than the later ones.
    QRect client(QPoint(0, 0), window->size());
    client.moveCenter(screen->availableGeometry().center());
    window->setGeometry(client);
}

}  // namespace blubbi
