#pragma once

#include <QDialog>

/// The About window: name, icon, version with copyright, and the terms of use as scrolling credits. One
/// instance serves every request; showing it again brings it back to its reading size in the middle of the
/// screen.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize readingSize{500, 650};

    explicit AboutDialog(QWidget* parent = nullptr);

    /// Opens the dialog or brings it forward, in front of other applications, floating and centred.
    void showPanel();

private:
    void raiseAboutWindow();
};
