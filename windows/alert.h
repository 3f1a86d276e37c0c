#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

#include <functional>

class QPushButton;

namespace folioset {

// A question or notice attached to a window. Buttons are added in order of importance and
// answer with fixed codes: the first (the default) 1, the second (the alternate, also what
// Escape and closing the window give) 0, the third -1, and any later one a step lower again.
// With no alternate button, Escape and closing give 0.
//
// The message and informative texts are always shown as plain text: they often quote file
// names, which may hold "&", "<" or "%1" and must appear exactly as they are.
class Alert : public QMessageBox
{
    Q_OBJECT

public:
    enum class Style { Warning, Informational, Critical };

    explicit Alert(QWidget *parent = nullptr);

    QString messageText() const { return text(); }
    void setMessageText(const QString &text) { setText(text); }

    Style alertStyle() const { return m_style; }
    void setAlertStyle(Style style);

    QPushButton *addButtonWithTitle(const QString &title);
    QList<QPushButton *> alertButtons() const { return m_buttons; }

    // Shows the alert as a sheet on `window` and returns at once. When the user has answered,
    // `completionHandler` runs exactly once with the answer's code and is then let go.
    void beginSheetModalForWindow(QWidget *window, std::function<void(int)> completionHandler);

    // Shows the alert as a sheet on `window` and returns the answer's code once the user has
    // answered; the rest of the program keeps running meanwhile.
    int runSheetModalForWindow(QWidget *window);

    // Shows the alert in front of every window of the program, which waits for the answer,
    // and returns the answer's code.
    int runModal();

    // The code of the last answer; 0 before the first.
    int returnCode() const { return m_returnCode; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void attachTo(QWidget *window);
    void finish();
    int codeOf(const QAbstractButton *button) const;

    QList<QPushButton *> m_buttons;
    Style m_style = Style::Warning;
    std::function<void(int)> m_completionHandler;
    int m_returnCode = 0;
};

} // namespace folioset
