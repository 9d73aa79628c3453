#pragma once

#include <QLineEdit>

namespace miv {

// A password field: shows "#" for every character and takes capital Latin
// letters only; any other character key is discarded with a beep. Keys that
// type nothing (Enter, Escape, Tab, arrows) keep their usual meaning.
class PasswordField : public QLineEdit
{
    Q_OBJECT
public:
    explicit PasswordField(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace miv
