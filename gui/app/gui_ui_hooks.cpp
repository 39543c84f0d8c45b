#include "gui/app/gui_ui_hooks.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

#include "gui/app/t_main_panel.h"

namespace dmm::gui {
namespace {

void OpenBox(TMainPanel& panel, QMessageBox::Icon icon, const QString& text,
             QMessageBox::StandardButton button = QMessageBox::Ok) {
    auto* box = new QMessageBox(icon, panel.windowTitle(), text, button, &panel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace

void GuiUiHooks::SetMainPanel(TMainPanel* panel) {
    panel_ = panel;
}

template <typename F>
void GuiUiHooks::OnGui(F f) {
    QPointer<TMainPanel> panel = panel_;
    if (!panel) return;
    QMetaObject::invokeMethod(
        panel.data(),
        [panel, f = std::move(f)]() {
            if (panel) f(*panel);
        },
        Qt::QueuedConnection);
}

void GuiUiHooks::SetStatusText(int panel, const QString& text) {
    OnGui([panel, text](TMainPanel& p) { p.SetStatusText(panel, text); });
}

void GuiUiHooks::ShowGauge(bool visible) {
    OnGui([visible](TMainPanel& p) { p.ShowGauge(visible); });
}

void GuiUiHooks::SetGauge(int position, int maximum) {
    OnGui([position, maximum](TMainPanel& p) { p.SetGauge(position, maximum); });
}

void GuiUiHooks::ShowMessage(const QString& text) {
    OnGui([text](TMainPanel& p) { OpenBox(p, QMessageBox::Information, text); });
}

void GuiUiHooks::ShowError(const QString& text) {
    OnGui([text](TMainPanel& p) { OpenBox(p, QMessageBox::Critical, text); });
}

void GuiUiHooks::ShowYesMessage(const QString& text) {
    OnGui([text](TMainPanel& p) { OpenBox(p, QMessageBox::Information, text, QMessageBox::Yes); });
}

bool GuiUiHooks::AskYesNo(const QString& text) {
    QPointer<TMainPanel> panel = panel_;
    if (!panel) return false;
    bool answer = false;
    auto ask = [&] {
        answer =
            QMessageBox::question(panel.data(), panel->windowTitle(), text) == QMessageBox::Yes;
    };
    if (QThread::currentThread() == panel->thread())
        ask();
    else
        QMetaObject::invokeMethod(panel.data(), ask, Qt::BlockingQueuedConnection);
    return answer;
}

void GuiUiHooks::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

}  // namespace dmm::gui
