// The Radio tab's rigctld address, the radio's report after a tune, and the outcome of each tune.
#include "app/windowbinding.h"

#include "session/station.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

namespace app {

void WindowBinding::bindRigctldAndReadBack() {
    session::RadioSession& radio = m_station.radio();
    const auto showRigctld = [this](bool shown) {
        for (QWidget* serial : {static_cast<QWidget*>(m_window.portLabel),
                                static_cast<QWidget*>(m_window.PortPopUpButton),
                                static_cast<QWidget*>(m_window.baudLabel),
                                static_cast<QWidget*>(m_window.BaudPopUpButton)})
            if (serial)
                serial->setVisible(!shown);
        for (QWidget* network : {static_cast<QWidget*>(m_window.rigctldAddressLabel),
                                 static_cast<QWidget*>(m_window.rigctldAddressField)})
            if (network)
                network->setVisible(shown);
    };
    showRigctld(radio.usesRigctld());
    connect(&radio, &session::RadioSession::rigctldShown, this, showRigctld);

    if (QLineEdit* field = m_window.rigctldAddressField) {
        field->setText(radio.rigctldAddress());
        connect(field, &QLineEdit::editingFinished, this,
                [field, &radio] { radio.chooseRigctldAddress(field->text()); });
        connect(&radio, &session::RadioSession::rigctldAddressShown, field, &QLineEdit::setText);
    }
    if (QLabel* report = m_window.radioReportLabel) {
        // Named even while empty, so that a screen reader has something to say of it.
        const auto show = [report](const QString& text) {
            report->setText(text);
            report->setAccessibleName(text.isEmpty() ? tr("No report from the radio yet") : text);
        };
        show(QString());
        connect(&radio, &session::RadioSession::radioReported, report, show);
    }
    // The outcome goes to the list's status line (through the lists session), and is told.
    connect(&radio, &session::RadioSession::tuneTold, this,
            [this](core::ListKind, const QString& sentence) { tell(sentence); });
}

} // namespace app
