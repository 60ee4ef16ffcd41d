// A warm processPliantClothing, from the call to its return, paired with a plain client
// making the same three exchanges (two probes, one conversion) with the same scripted
// server. The server, the host, the selected figure and the module object are set up
// before timing, and one conversion has run already.
//
// The module's port is fixed: this program uses 127.0.0.1:12345.

#include "benchsupport.h"
#include "dzappcontrol.h"
#include "loopbackpeer.h"

#include "dzcontentmgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "garbwright.h"
#include "protocol.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <climits>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

const std::string probeReply = "Garbwright Server ready\n";
const std::string dressReply = "Runtime:Libraries:Character:Pliant Clothing:Brackenmoor:Summer Dress.cr2\n";
const QString vendor = QStringLiteral("Brackenmoor");
const QString clothing = QStringLiteral("Summer Dress");
const QString figureName = QStringLiteral("Base Female");

// Everything a conversion needs: a host with a content folder holding the converted
// garment, a scene with the selected figure, and a server on the module's port.
class Rig {
public:
    Rig()
        : m_server(answerWith([](const std::string& request) {
                       return request == Protocol::probeRequest ? probeReply : dressReply;
                   }),
                   Protocol::serverPort, INT_MAX)
    {
        // Should the server not answer, the module would look for the companion
        // application; it must find an empty store, not the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
        const QString folder =
            m_content.path() + QStringLiteral("/Runtime/Libraries/Character/Pliant Clothing/Brackenmoor");
        QDir().mkpath(folder);
        QFile dress(folder + QStringLiteral("/Summer Dress.cr2"));
        if (dress.open(QIODevice::WriteOnly))
            dress.write("{\nversion\n\t{\n\tnumber 4.01\n\t}\nfigure\n\t{\n\tname Summer Dress\n\t}\n}\n");
        dress.close();
        m_host.app().getContentMgr()->addContentDirectory(m_content.path());
        m_scriptPath = m_content.path() + QStringLiteral("/Scripts/Pliant/convert.dsa");

        m_previousScene = dzScene;
        dzScene = &m_scene;
        auto* figure = new DzSkeleton(figureName);
        figure->select(true);
        m_scene.addNode(figure);
        m_clothing = std::make_unique<BMPliantClothing>();
    }

    ~Rig()
    {
        m_clothing.reset();
        m_scene.clear();
        dzScene = m_previousScene;
    }

    void convert() { m_clothing->processPliantClothing(vendor, clothing, m_scriptPath); }

    std::string conversionRequest() const
    {
        return (figureName + QLatin1Char('#') + vendor + QLatin1Char('#') + clothing + QLatin1Char('#')
                + m_scriptPath + QStringLiteral("#\n"))
            .toStdString();
    }

    // Takes the loaded garments out and empties the host's log and dialog records.
    void reset()
    {
        while (m_scene.getNumNodes() > 1)
            delete m_scene.getNode(m_scene.getNumNodes() - 1);
        m_host.clear();
        DzAppControl(m_host.app()).clearDialogRecords();
    }

    int logLineCount() const { return DzAppControl(m_host.app()).logLines().size(); }

    // The last conversion loaded the garment, fitted to the figure, and showed no dialog.
    bool lastConversionWorked() const
    {
        if (m_scene.getNumNodes() != 2 || !DzAppControl(m_host.app()).dialogRecords().isEmpty())
            return false;
        const auto* garment = qobject_cast<const DzSkeleton*>(m_scene.getNode(1));
        return garment && garment->getName() == clothing
            && DzAppControl(m_host.app()).logLines().filter(QStringLiteral("Clothing is conformed")).size() == 1;
    }

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_content;
    Bench::HostLog m_host;
    DzScene m_scene;
    DzScene* m_previousScene = nullptr;
    QString m_scriptPath;
    LoopbackPeer m_server;
    std::unique_ptr<BMPliantClothing> m_clothing;
};

// Per iteration: the plain client's three exchanges, and one processPliantClothing call,
// timed from the call to its return. The garment it loaded is taken out of the scene
// afterwards, outside the timed parts.
void BM_WarmConversion(benchmark::State& state)
{
    // The port may be taken (a server left running, a test beside this program).
    std::unique_ptr<Rig> made;
    try {
        made = std::make_unique<Rig>();
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    Rig& rig = *made;
    rig.convert();
    if (!rig.lastConversionWorked()) {
        state.SkipWithError("the warm-up conversion did not load the garment");
        return;
    }
    // How many lines one conversion writes into the host's log (the module's and the host's).
    const auto linesPerConversion = static_cast<double>(rig.logLineCount());
    rig.reset();

    const std::string conversion = rig.conversionRequest();
    Bench::Pairing pairing;
    try {
        for (auto _ : state) {
            pairing.measure(
                state,
                [&] {
                    Bench::plainExchange(Protocol::serverPort, Protocol::probeRequest);
                    Bench::plainExchange(Protocol::serverPort, Protocol::probeRequest);
                    if (Bench::plainExchange(Protocol::serverPort, conversion) != dressReply)
                        throw std::runtime_error("the plain client got another reply");
                },
                [&] { rig.convert(); });
            const bool worked = rig.lastConversionWorked();
            rig.reset();
            if (!worked)
                throw std::runtime_error("a conversion did not load the garment");
        }
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    pairing.report(state);
    state.counters["log_lines"] = linesPerConversion;
}

[[maybe_unused]] const bool registered = [] {
    Bench::compare({"warm processPliantClothing (two probes, one conversion, garment loaded), "
                    "vs plain client making the same three exchanges",
                    "BM_WarmConversion", Bench::Goal::ReportOnly, 0.0});
    return true;
}();

} // namespace

BENCHMARK(BM_WarmConversion)->UseManualTime()->Unit(benchmark::kMicrosecond);
