#pragma once
// The question asked when a server's certificate fails verification: connect once, always trust
// it for this host, or cancel. A trusted host that shows a different certificate gets a warning
// of its own, with Cancel as the default.
#include <QDialog>
#include <functional>

#include "net/TlsTypes.h"

class QLabel;
class QPushButton;

class TCertificateDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCertificateDialog(const TTlsCertificateInfo& info, QWidget* parent = nullptr);

    // Closing the dialog any other way than by a button counts as Cancel.
    TTlsTrustDecision Decision() const { return FDecision; }

    // Runs the dialog modally over owner; tests that are not about the dialog replace the hook.
    static TTlsTrustDecision Ask(QWidget* owner, const TTlsCertificateInfo& info);
    static std::function<TTlsTrustDecision(const TTlsCertificateInfo& info)> AskHook;

    QLabel* Heading;
    QLabel* WarningIcon;
    QPushButton *ConnectOnceButton, *AlwaysTrustButton, *CancelButton;

private:
    QWidget* CreateDetails(const TTlsCertificateInfo& info);
    QPushButton* AddDecisionButton(const char* name, const char* caption, TTlsTrustDecision decision);

    TTlsTrustDecision FDecision = TTlsTrustDecision::Cancel;
};
