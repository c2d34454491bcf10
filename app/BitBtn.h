// Dialog buttons with a kind (OK, Cancel, All) that fixes their modal result and key role.
#pragma once
#include <QDialog>
#include <QFont>
#include <QPushButton>
#include <QString>

namespace blubbi {

// Modal results of the dialogs. Esc and the close box reject, so Cancel has to be Rejected.
enum TModal : int { mrCancel = QDialog::Rejected, mrOk = QDialog::Accepted, mrAll = 8 };

enum class TBitBtnKind { Custom, Ok, Cancel, All };

// A push button at a fixed place in `dialog`'s client area (or in `parent`, when given).
// OK is the default button (Enter); OK, Cancel and All close the dialog with their result.
QPushButton* MakeBitBtn(QDialog* dialog, TBitBtnKind kind, const QString& caption, int x, int y, int w, int h,
                        QWidget* parent = nullptr);

// The forms' own font: a small sans serif of 11 pixels, so the controls fit their fixed places.
void ApplyFormFont(QWidget* form);

// The heavy face of the dialogs' headings and the win text: "Arial Black" where it is installed,
// else the boldest cut of a sans serif that is (Liberation Sans, DejaVu Sans), never a regular one.
QFont HeavyFont(int pixelSize);

// A fixed dialog border at `size`: a title and a close box, neither minimise nor maximise.
void FixedDialogBorder(QDialog* dialog, int width, int height);

// Dialogs open centred on the screen they belong to, at the same place at every showing.
void CentreOnScreen(QWidget* window);

}  // namespace blubbi
