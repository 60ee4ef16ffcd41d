#include "dzqtcompat.h"

#include "orvstrings.h"

#include <QPointer>

#include <string>
#include <string_view>

namespace {

// Lives as a child of the sender, so it goes with it; the context is only watched.
class FunctionCall : public QObject {
    Q_OBJECT
public:
    FunctionCall(QObject* sender, QObject* context, std::function<void()> function)
        : QObject(sender), m_context(context), m_function(std::move(function))
    {
    }

    bool isFor(const QObject* context) const { return m_context == context; }

public slots:
    void call()
    {
        if (m_context)
            m_function();
    }

private:
    QPointer<QObject> m_context;
    std::function<void()> m_function;
};

} // namespace

void dzConnectCall(QObject* sender, const char* signal, QObject* context, std::function<void()> function)
{
    auto* call = new FunctionCall(sender, context, std::move(function));
    QObject::connect(sender, signal, call, SLOT(call()));
    if (context != sender)
        QObject::connect(context, SIGNAL(destroyed()), call, SLOT(deleteLater()));
}

void dzDisconnectCalls(const QObject* sender, const QObject* context)
{
    for (FunctionCall* call : sender->findChildren<FunctionCall*>()) {
        if (call->parent() == sender && call->isFor(context)) {
            QObject::disconnect(sender, nullptr, call, nullptr);
            call->deleteLater();
        }
    }
}

QString dzShownValue(const QString& value)
{
    const std::string shown = Orv::loggableText(
        std::u16string_view(reinterpret_cast<const char16_t*>(value.constData()), static_cast<size_t>(value.size())));
    return QString::fromUtf8(shown.data(), static_cast<int>(shown.size()));
}

#include "dzqtcompat.moc"
