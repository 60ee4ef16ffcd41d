#ifndef GARBWRIGHT_TESTS_CONVERSIONFIXTURE_H
#define GARBWRIGHT_TESTS_CONVERSIONFIXTURE_H

// A conversion set up end to end, but for the server: a content folder holding the
// converted garment the server will name, a selected figure, and a scripted server on the
// fixed port.

#include "clothingfixture.h"
#include "loopbackpeer.h"

#include "dzcontentfolder.h"
#include "dzcontentmgr.h"
#include "protocol.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <string>
#include <vector>

inline const QString processingFailed = QStringLiteral("ERROR:  There was a problem processing the Pliant Clothing.");
inline const std::string dressReply = "Runtime:Libraries:Character:Pliant Clothing:Brackenmoor:Summer Dress.cr2\n";
inline const QString dressRelative = QStringLiteral("Runtime\\Libraries\\Character\\Pliant Clothing\\Brackenmoor\\Summer Dress.cr2");

class Conversion : public ClothingTest {
protected:
    void SetUp() override
    {
        ClothingTest::SetUp();
        ASSERT_TRUE(m_content.isValid());
        const QString folder = m_content.path() + QStringLiteral("/Runtime/Libraries/Character/Pliant Clothing/Brackenmoor");
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile dress(folder + QStringLiteral("/Summer Dress.cr2"));
        ASSERT_TRUE(dress.open(QIODevice::WriteOnly));
        dress.write("{\nversion\n\t{\n\tnumber 4.01\n\t}\nfigure\n\t{\n\tname Summer Dress\n\t}\n}\n");
        dress.close();
        m_dressPath = dress.fileName();
        app().getContentMgr()->addContentDirectory(m_content.path());
        m_scriptPath = m_content.path() + QStringLiteral("/Scripts/Pliant/convert.dsa");
        m_body = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
        clearLog();
    }

    // A server on the fixed port that answers probes and replies `reply` to a conversion.
    void serve(std::string reply, int connections = 3)
    {
        serveWith(answerWith([reply](const std::string& request) {
                      return request == Protocol::probeRequest ? std::string("ready\n") : reply;
                  }),
                  connections);
    }

    void serveWith(LoopbackPeer::Behaviour behaviour, int connections = 3)
    {
        m_server.reset();
        m_server = std::make_unique<LoopbackPeer>(std::move(behaviour), Protocol::serverPort, connections);
    }

    void convert(const QString& vendor = QStringLiteral("Brackenmoor"),
                 const QString& clothing = QStringLiteral("Summer Dress"))
    {
        m_clothing->processPliantClothing(vendor, clothing, m_scriptPath);
    }

    // The conversion requests the server received (probes left out).
    std::vector<std::string> conversionRequests()
    {
        m_server->finish();
        std::vector<std::string> requests;
        for (const std::string& request : m_server->requests()) {
            if (request != Protocol::probeRequest)
                requests.push_back(request);
        }
        return requests;
    }

    // Whether the last conversion left a figure remembered: a skeleton loaded now is
    // checked against it only then.
    bool figureRemembered()
    {
        clearLog();
        DzSkeleton probe(QStringLiteral("Probe"));
        m_clothing->clothingLoaded(&probe);
        return messages().contains(QStringLiteral("Forgetting current figure"));
    }

    int loadedCount() const { return scene().getNumNodes() - 1; }

    QTemporaryDir m_content;
    QString m_dressPath;
    QString m_scriptPath;
    DzSkeleton* m_body = nullptr;
    std::unique_ptr<LoopbackPeer> m_server;
};

#endif
