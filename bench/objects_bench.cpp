// Creating plug-in objects, as a host script does in a loop: each object joins the scene's
// notice of loaded skeletons, and the host keeps it until it exits. The same batch is made
// beside a few objects and beside many, each in a host and a scene of its own; creating
// stays linear when the two cost the same.

#include "benchsupport.h"

#include "dzappcontrol.h"
#include "dzscene.h"
#include "garbwright.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int batchSize = 1000;
constexpr int fewObjects = 1000;
constexpr int manyObjects = 40000;

// A host and a scene with `count` objects already made, as a script leaves them.
class Crowd {
public:
    explicit Crowd(int count)
    {
        enter();
        for (int i = 0; i < count; ++i)
            m_crowd.push_back(make());
        m_host.clear();
    }

    ~Crowd() { m_crowd.clear(); }

    // Makes the host and the scene the current ones, as the module finds them.
    void enter()
    {
        dzApp = &m_host.app();
        dzScene = &m_scene;
    }

    // One batch, made here and kept until leave().
    void makeBatch()
    {
        for (int i = 0; i < batchSize; ++i)
            m_batch.push_back(make());
    }

    // Deletes the batch and empties the host's log, outside the timed part.
    void leave()
    {
        m_batch.clear();
        m_host.clear();
    }

private:
    std::unique_ptr<BMPliantClothing> make()
    {
        auto object = std::make_unique<BMPliantClothing>();
        DzAppControl(m_host.app()).keepUntilExit(object.get());
        return object;
    }

    Bench::HostLog m_host;
    DzScene m_scene;
    std::vector<std::unique_ptr<BMPliantClothing>> m_crowd;
    std::vector<std::unique_ptr<BMPliantClothing>> m_batch;
};

// Per iteration: a batch beside a few objects, and the same batch beside many.
void BM_ObjectsBesideMany(benchmark::State& state)
{
    DzApp* const previousApp = dzApp;
    DzScene* const previousScene = dzScene;
    {
        Crowd few(fewObjects);
        Crowd many(manyObjects);
        Bench::Pairing pairing;
        for (auto _ : state) {
            pairing.measure(
                state,
                [&] {
                    few.enter();
                    few.makeBatch();
                },
                [&] {
                    many.enter();
                    many.makeBatch();
                });
            few.leave();
            many.leave();
        }
        pairing.report(state, batchSize);
    }
    dzApp = previousApp;
    dzScene = previousScene;
}

[[maybe_unused]] const bool registered = [] {
    Bench::compare({"creating a plug-in object beside 40,000 others, vs beside 1,000", "BM_ObjectsBesideMany",
                    Bench::Goal::AtMostTimes, 1.5, batchSize});
    return true;
}();

} // namespace

BENCHMARK(BM_ObjectsBesideMany)->UseManualTime()->Unit(benchmark::kMicrosecond);
