#pragma once

#include <QDialog>

#include <functional>

namespace folioset {

// A window-modal dialog whose Escape key and close button do what the sheet's own cancel or
// close command does, instead of only hiding it: a running conversion is cancelled, not hidden.
class Sheet : public QDialog
{
public:
    explicit Sheet(QWidget *window) : QDialog(window) { setWindowModality(Qt::WindowModal); }

    void setRejectHandler(std::function<void()> handler) { m_onReject = std::move(handler); }
    void reject() override
    {
        if (m_onReject)
            m_onReject();
        else
            QDialog::reject();
    }

private:
    std::function<void()> m_onReject;
};

} // namespace folioset
