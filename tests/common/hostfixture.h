#ifndef GARBWRIGHT_TESTS_HOSTFIXTURE_H
#define GARBWRIGHT_TESTS_HOSTFIXTURE_H

#include "dzapp.h"
#include "dznode.h"
#include "dzscene.h"
#include "testqtcompat.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <memory>

// The environment for running the host program as a process without a display, as a batch
// run: dialogs answered at once, progress on standard error.
inline QProcessEnvironment headlessEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral(DZ_HEADLESS_PLATFORM));
    return environment;
}

// A fresh application and scene, installed as the globals that host code reaches them
// through, for the length of one test.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app = std::make_unique<DzApp>();
        m_scene = std::make_unique<DzScene>();
        dzApp = m_app.get();
        dzScene = m_scene.get();
    }

    void TearDown() override
    {
        dzScene = nullptr;
        dzApp = nullptr;
        m_scene.reset();
        m_app.reset();
    }

    DzApp& app() { return *m_app; }
    const DzApp& app() const { return *m_app; }
    DzScene& scene() { return *m_scene; }
    const DzScene& scene() const { return *m_scene; }

    // A new node of class T in the scene, selected or not.
    template <class T = DzNode>
    T* addNode(const QString& name, bool selected = false)
    {
        auto* node = new T(name);
        node->select(selected);
        m_scene->addNode(node);
        return node;
    }

private:
    std::unique_ptr<DzApp> m_app;
    std::unique_ptr<DzScene> m_scene;
};

#endif
