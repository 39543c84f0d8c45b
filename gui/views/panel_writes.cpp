#include "gui/views/panel_writes.h"

namespace dmm::gui {

void WritePanelRegisters(Bench& bench, QObject* context, std::vector<RegisterWrite> writes,
                         std::function<void(bool)> done) {
    bench.Call([writes = std::move(writes)](Bench& b) { return WriteRegisters(b.chip(), writes); },
               context,
               [done = std::move(done)](bool ok) {
                   if (done) done(ok);
               });
}

}  // namespace dmm::gui
