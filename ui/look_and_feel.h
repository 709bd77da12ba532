#pragma once
// The look of the dialog's controls: a kind and whether the platform's own
// style is used instead. Copied by value between the component and its form.
#include <QWidget>

enum class TpxLookAndFeelKind { lfFlat, lfStandard, lfUltraFlat, lfOffice11 };

class TpxLookAndFeel {
public:
    TpxLookAndFeelKind Kind() const { return kind_; }
    void SetKind(TpxLookAndFeelKind kind) { kind_ = kind; }
    bool NativeStyle() const { return nativeStyle_; }
    void SetNativeStyle(bool native) { nativeStyle_ = native; }

    // Frames of framed controls: the platform's styled panel with the native
    // style or the standard kind; a plain one-pixel line for the flat kinds.
    void ApplyTo(QWidget& control) const;

    friend bool operator==(const TpxLookAndFeel&, const TpxLookAndFeel&) = default;

private:
    TpxLookAndFeelKind kind_ = TpxLookAndFeelKind::lfFlat;
    bool nativeStyle_ = false;
};
