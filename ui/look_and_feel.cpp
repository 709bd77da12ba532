// The dialog controls' look: kind and native flag, copied between component and form.
#include "ui/look_and_feel.h"

#include <QFrame>
#include <QPalette>

void TpxLookAndFeel::ApplyTo(QWidget& control) const {
    auto* frame = qobject_cast<QFrame*>(&control);
    if (frame == nullptr) return;
    if (nativeStyle_ || kind_ == TpxLookAndFeelKind::lfStandard) {
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    } else {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
        // A plain frame is drawn in the window-text colour; the flat look
        // wants the softer shadow colour.
        QPalette palette = frame->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Mid));
        frame->setPalette(palette);
    }
}
