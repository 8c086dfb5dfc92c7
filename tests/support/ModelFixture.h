#pragma once

#include "model/AppModel.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/fakes/VirtualScheduler.h"
#include "support/ControllableHistory.h"
#include "support/ModelFakes.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

namespace orv {

// A model over a real history in a temporary folder, with virtual time, a fake palette window and
// preview, and captures stamped one second apart.
class ModelTest : public ::testing::Test {
protected:
    ModelTest() {
        recorder.clock = [this] { return base.addSecs(++tick); };
        model.pointerLocation = [this] { return pointer; };
        model.follow(recorder);
    }

    static void await(QCoro::Task<> task) { QCoro::waitFor(std::move(task)); }

    void copyText(const QString& text, const std::optional<QString>& source = {}) {
        await(recorder.record({CapturedClip::Text{text, std::nullopt}, source}));
        QCoro::waitFor(model.settledList());
    }
    // Records the texts oldest first, opens the palette and prepares it.
    void open(const QStringList& texts) {
        for (const QString& text : texts) {
            copyText(text);
        }
        model.setPaletteWindow(&window);
        await(model.prepareForDisplay());
    }
    QStringList values(const QList<Clip>& clips) const {
        QStringList out;
        for (const Clip& clip : clips) {
            out.append(clip.value);
        }
        return out;
    }
    QStringList visible() const { return values(model.visibleClips()); }
    QStringList stored() { return values(history.real().clips({}).result()); }
    Clip visibleAt(int index) const { return model.visibleClips().at(index); }
    QString selectedValue() const {
        for (const Clip& clip : model.clips()) {
            if (model.selectedID() == clip.id) {
                return clip.value;
            }
        }
        return QString();
    }

    ControllableHistory history;
    InMemoryUserDefaults defaults;
    FakeLoginItemService loginItem;
    PreferencesStore preferences{defaults, loginItem};
    VirtualScheduler scheduler;
    ClipRecorder recorder{history, preferences, scheduler};
    AppModel model{history, preferences, scheduler};
    FakeWindow window;
    FakePreview preview;
    QPoint pointer{0, 0};
    QDateTime base = QDateTime::currentDateTimeUtc().addSecs(-3600);
    int tick = 0;
};

}  // namespace orv
