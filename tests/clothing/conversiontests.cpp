// The conversion request against a scripted server on the server's fixed port, and the
// conform check of the garment the host then loads.

#include "conversionfixture.h"
#include "dzappcontrol.h"

#include <algorithm>
#include <utility>

namespace {

TEST_F(Conversion, WellFormedReply_GarmentLoadedConformedAndEveryStepLogged)
{
    serve(dressReply);

    convert();

    const QString request = QStringLiteral("Base Female#Brackenmoor#Summer Dress#") + m_scriptPath + QStringLiteral("#\n");
    EXPECT_EQ(conversionRequests(), std::vector<std::string>{request.toStdString()});
    EXPECT_TRUE(dialogTexts().isEmpty()) << dialogTexts().join(QStringLiteral("\n")).toStdString();

    const QStringList lines = messages();
    EXPECT_TRUE(inOrder(lines, QStringList{
        QStringLiteral("Processing Pliant Clothing"),
        QStringLiteral(" - Checking if server is running"),
        QStringLiteral("Starting pliant clothing server"),
        QStringLiteral(" - Server is running"),
        QStringLiteral("Determining if pliant clothing server is running"),
        QStringLiteral(" - Getting figure geom path"),
        QStringLiteral(" - Geom path: Base Female"),
        QStringLiteral(" - Assembling message"),
        QStringLiteral(" - Message: ") + request,
        QStringLiteral(" - Connecting to server"),
        QStringLiteral(" - Converting message"),
        QStringLiteral(" - Sending conversion message"),
        QStringLiteral("Setting up the socket"),
        QStringLiteral("Done reading response"),
        QStringLiteral(" - Converted cr2 file: ") + dressRelative,
        QStringLiteral(" - Determining current runtime directory"),
        QStringLiteral(" - Current runtime: ") + app().getContentMgr()->getContentDirectory(0)->getName(),
        QStringLiteral(" - Relative cr2 path: ") + dressRelative,
        QStringLiteral(" - Cr2 path: ") + m_dressPath,
        QStringLiteral(" - Remembering current figure"),
        QStringLiteral(" - Getting selected figure node"),
        QStringLiteral(" - Loading clothing"),
        QStringLiteral("New item loaded: Summer Dress"),
        QStringLiteral("Currently selected figure: Base Female"),
        QStringLiteral("Clothing: Summer Dress"),
        QStringLiteral("Conforming clothing to currently selected figure"),
        QStringLiteral("Clothing is conformed"),
        QStringLiteral("Forgetting current figure"),
        QStringLiteral("Done processing clothing")}));

    ASSERT_EQ(loadedCount(), 1);
    auto* dress = qobject_cast<DzSkeleton*>(scene().findNode(QStringLiteral("Summer Dress")));
    ASSERT_NE(dress, nullptr);
    EXPECT_EQ(dress->getFollowTarget(), m_body);
    EXPECT_FALSE(figureRemembered()) << "the loaded garment used up the remembered figure";
}

TEST_F(Conversion, ErrorReplyWithBlanks_StopsQuietly)
{
    serve(" \tError \n\n");
    convert();

    EXPECT_EQ(messages().last(), QStringLiteral(" - Converted cr2 file: Error"));
    EXPECT_TRUE(dialogTexts().isEmpty());
    EXPECT_EQ(loadedCount(), 0);
    EXPECT_FALSE(figureRemembered());
}

TEST_F(Conversion, UnusableReplies_RefusedWithOneDialogAndNothingLoaded)
{
    const struct {
        std::string reply;
        QString logged;
    } cases[] = {
        {"error\n", QStringLiteral("error")},
        {"\n", QString()},
        {":Runtime:Summer Dress.cr2\n", QStringLiteral("\\Runtime\\Summer Dress.cr2")},
        {"Runtime:..:..:Summer Dress.cr2\n", QStringLiteral("Runtime\\..\\..\\Summer Dress.cr2")},
        {"Runtime:Libraries:notes.txt\n", QStringLiteral("Runtime\\Libraries\\notes.txt")},
        {dressReply.substr(0, dressReply.size() - 1) + "\r\n", dressRelative + QStringLiteral("\\x0D")},
        // What a peer sends is shown as data: no forged line, no control code in the log.
        {"Runtime:a\nLoaded \"FAKE\" from \"/etc/shadow\".cr2\n",
         QStringLiteral("Runtime\\a\\x0ALoaded \"FAKE\" from \"/etc/shadow\".cr2")},
        {std::string("Runtime:\x1b[2J\0\x9b.cr2", 18), QStringLiteral("Runtime\\\\x1B[2J\\x00\\x9B.cr2")},
        // C1 controls alone: a line break (NEL) and a terminal's CSI.
        {"Runtime:Dress\x85\x9b" "1m.cr2\n", QStringLiteral("Runtime\\Dress\\x85\\x9B1m.cr2")},
        // DEL, which is no part of a file name either.
        {"Runtime:Dress\x7f.cr2\n", QStringLiteral("Runtime\\Dress\\x7F.cr2")},
        // The log is UTF-8 whatever the Qt version: a Western letter stays one character,
        // U+0085 is escaped, and a long value is cut on a character boundary and counted in
        // characters.
        {"Runtime:Caf\xe9\x85.txt\n", QStringLiteral("Runtime\\Caf\u00e9\\x85.txt")},
        {"Runtime:" + std::string(5000, '\xe9') + "\n",
         QStringLiteral("Runtime\\") + QString(2044, QChar(0xe9)) + QStringLiteral(" ... (5008 characters)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        serve(c.reply);

        convert();

        EXPECT_TRUE(messages().contains(QStringLiteral(" - Converted cr2 file: ") + c.logged))
            << messages().join(QStringLiteral("\n")).toStdString();
        for (const QString& line : DzAppControl(app()).logLines())
            EXPECT_FALSE(line.contains(QLatin1String("\nLoaded")) || line.contains(QChar(0x1b))
                         || line.contains(QChar(0)) || line.contains(QChar(0x9b)));
        EXPECT_EQ(dialogTexts(), QStringList{processingFailed});
        EXPECT_FALSE(messages().contains(QStringLiteral(" - Loading clothing")));
        EXPECT_EQ(loadedCount(), 0);
        EXPECT_FALSE(figureRemembered());
        m_server.reset();
    }
}

TEST_F(Conversion, EmptyArgument_SentAsAnEmptyField)
{
    serve("Error\n");
    convert(QStringLiteral("Brackenmoor"), QString());

    const std::string expected = "Base Female#Brackenmoor##" + m_scriptPath.toStdString() + "#\n";
    EXPECT_EQ(conversionRequests(), std::vector<std::string>{expected});
}

TEST_F(Conversion, Latin1Text_OneBytePerCharacterBothWays)
{
    const QString folder = m_content.path() + QStringLiteral("/Runtime/Libraries/Caf\u00e9");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(m_dressPath, folder + QStringLiteral("/Summer Dress.cr2")));
    serve("Runtime:Libraries:Caf\xe9:Summer Dress.cr2\n");

    convert(QStringLiteral("Caf\u00e9"));

    EXPECT_EQ(conversionRequests(),
              std::vector<std::string>{"Base Female#Caf\xe9#Summer Dress#" + m_scriptPath.toStdString() + "#\n"});
    EXPECT_TRUE(messages().contains(QStringLiteral(" - Converted cr2 file: Runtime\\Libraries\\Caf\u00e9\\Summer Dress.cr2")));
    EXPECT_TRUE(dialogTexts().isEmpty());
    EXPECT_EQ(loadedCount(), 1);
}

// A field the server would read as something else: a character the 8-bit wire cannot carry
// (it would go out as '?'), or one that ends a field or the request.
TEST_F(Conversion, FieldTheWireCannotCarry_OneDialogNothingSentNothingLoaded)
{
    const QString tokyo = QStringLiteral("\u6771\u4eac");
    const QString figure = QStringLiteral("Base Female");
    const QString vendor = QStringLiteral("Brackenmoor");
    const QString clothing = QStringLiteral("Summer Dress");
    const QString latin1Only = QStringLiteral("Latin-1");
    const QString hash = QStringLiteral("&quot;#&quot;");
    const QString lineBreak = QStringLiteral("a line break");
    const struct {
        QString figure, vendor, clothing, scriptPath, named, why;
    } cases[] = {
        {figure, tokyo, clothing, m_scriptPath, QStringLiteral("vendor"), latin1Only},
        {figure, vendor, QStringLiteral("Dress \u20ac"), m_scriptPath, QStringLiteral("clothing"), latin1Only},
        {figure, vendor, QStringLiteral("Dress \u0100"), m_scriptPath, QStringLiteral("clothing"), latin1Only},
        {figure, vendor, clothing, m_content.path() + QLatin1Char('/') + tokyo + QStringLiteral("/convert.dsa"),
         QStringLiteral("script"), latin1Only},
        {QStringLiteral("Base ") + tokyo, vendor, clothing, m_scriptPath, QStringLiteral("figure"), latin1Only},
        {figure, vendor, QStringLiteral("Dress #2"), m_scriptPath, QStringLiteral("clothing"), hash},
        {figure, QStringLiteral("Bracken\nmoor"), clothing, m_scriptPath, QStringLiteral("vendor"), lineBreak},
        {QStringLiteral("stop\nBase Female"), vendor, clothing, m_scriptPath, QStringLiteral("figure"), lineBreak},
        {figure, vendor, clothing, m_content.path() + QStringLiteral("/#1/convert.dsa"), QStringLiteral("script"), hash},
        // Names from a scene file are data in the log: no forged line, no terminal codes, no
        // line of megabytes.
        {QStringLiteral("Base Female\nClothing is conformed"), vendor, clothing, m_scriptPath, QStringLiteral("figure"),
         lineBreak},
        {QStringLiteral("Base \x1b[2J\u009b1m\u0085Female\n"), vendor, clothing, m_scriptPath, QStringLiteral("figure"),
         lineBreak},
        {QString(15 << 20, QLatin1Char('x')) + QLatin1Char('\n'), vendor, clothing, m_scriptPath,
         QStringLiteral("figure"), lineBreak},
        // The same text under either Qt: a lone surrogate is one replacement character, a cut
        // falls on a whole character (here inside a pair) and is marked, and the separators
        // and bidirectional controls that a text view obeys are escaped.
        {QStringLiteral("Base") + QChar(0xd800) + QStringLiteral("Female"), vendor, clothing, m_scriptPath,
         QStringLiteral("figure"), latin1Only},
        {QString(4096, QLatin1Char('x')) + QStringLiteral("\U0001F457") + QString(18, QLatin1Char('x')), vendor,
         clothing, m_scriptPath, QStringLiteral("figure"), latin1Only},
        {QStringLiteral("Base \u202eFemale\u2028Clothing is conformed"), vendor, clothing, m_scriptPath,
         QStringLiteral("figure"), latin1Only},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.named + QLatin1Char(' ') + c.why).toStdString());
        clearLog();
        DzAppControl(app()).clearDialogRecords();
        m_body->setName(c.figure);
        serve(dressReply);

        m_clothing->processPliantClothing(c.vendor, c.clothing, c.scriptPath);

        ASSERT_EQ(dialogTexts().size(), 1);
        EXPECT_TRUE(dialogTexts().first().startsWith(processingFailed));
        EXPECT_TRUE(dialogTexts().first().contains(c.named));
        EXPECT_TRUE(dialogTexts().first().contains(c.why)) << dialogTexts().first().toStdString();
        EXPECT_TRUE(conversionRequests().empty());
        EXPECT_EQ(loadedCount(), 0);
        // The log keeps every character of an ordinary value, control characters escaped; each
        // line is one line of the log, the request's own line feed ending it, and bounded.
        QString request = c.figure + QLatin1Char('#') + c.vendor + QLatin1Char('#') + c.clothing + QLatin1Char('#')
            + c.scriptPath + QLatin1Char('#');
        int characters = request.size();
        for (int i = 1; i < request.size(); ++i)
            characters -= request.at(i).isLowSurrogate() && request.at(i - 1).isHighSurrogate() ? 1 : 0;
        for (const QChar control : {QChar(0x0a), QChar(0x1b), QChar(0x85), QChar(0x9b)})
            request.replace(control, QStringLiteral("\\x")
                                         + QString::number(control.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0')));
        for (const QChar control : {QChar(0x2028), QChar(0x202e)})
            request.replace(control, QStringLiteral("\\u") + QString::number(control.unicode(), 16).toUpper());
        request.replace(QChar(0xd800), QChar(0xfffd));
        if (request.size() < 4096) {
            EXPECT_TRUE(messages().contains(QStringLiteral(" - Message: ") + request + QLatin1Char('\n')))
                << messages().filter(QStringLiteral(" - Message: ")).value(0).toStdString();
        } else {
            // The long rows' figures start with 4096 'x'.
            EXPECT_TRUE(messages().contains(QStringLiteral(" - Message: ") + QString(4096, QLatin1Char('x'))
                                            + QStringLiteral(" ... (%1 characters)\n").arg(characters)))
                << messages().filter(QStringLiteral(" - Message: ")).value(0).left(200).toStdString();
        }
        for (QString line : DzAppControl(app()).logLines()) {
            if (line.endsWith(QLatin1Char('\n')) && line.contains(QLatin1String(" - Message: ")))
                line.chop(1);
            EXPECT_LT(line.size(), 4096 + 200); // the value's 4096 bytes at most, and the line's own text
            EXPECT_FALSE(std::any_of(line.begin(), line.end(), [](QChar ch) {
                return ch != QLatin1Char('\t') && (ch.unicode() < 0x20 || (ch.unicode() >= 0x7f && ch.unicode() <= 0x9f));
            })) << line.left(200).toStdString();
        }
        EXPECT_FALSE(messages().contains(QStringLiteral("Clothing is conformed")));
        EXPECT_FALSE(figureRemembered());
        m_server.reset();
    }
}

// Loading the garment is no wait on the server: a script's handler of the host's load
// notice may convert again, and that conversion proceeds. The script has connected the
// object to the notice too, after its handler: the first garment's notice reaches the
// object again after the nested load, and is handled once all the same.
TEST_F(Conversion, ConversionFromTheLoadNotice_Proceeds)
{
    serve(dressReply, 8);
    bool first = true;
    dzConnectCall(&scene(), SIGNAL(skeletonAdded(DzSkeleton*)), m_clothing.get(), [&] {
        if (std::exchange(first, false)) {
            m_clothing->startServer();
            convert();
        }
    });
    QObject::connect(&scene(), SIGNAL(skeletonAdded(DzSkeleton*)), m_clothing.get(), SLOT(clothingLoaded(DzSkeleton*)));

    convert();

    EXPECT_TRUE(dialogTexts().isEmpty()) << dialogTexts().join(QStringLiteral("\n")).toStdString();
    EXPECT_EQ(loadedCount(), 2);
    EXPECT_EQ(messages().count(QStringLiteral("Clothing is conformed")), 2);
    EXPECT_EQ(messages().count(QStringLiteral("New item loaded: Summer Dress")), 2) << "one per garment";
}

TEST_F(Conversion, ServerNotRunningAndNotStartable_StopsWithoutADialogOfItsOwn)
{
    convert();

    const QStringList lines = messagesAt(QStringLiteral("Debug"));
    EXPECT_EQ(lines.mid(0, 2), (QStringList{QStringLiteral("Processing Pliant Clothing"),
                                            QStringLiteral(" - Checking if server is running")}));
    EXPECT_EQ(lines.last(), QStringLiteral(" - Server is not running"));
    EXPECT_FALSE(lines.contains(QStringLiteral(" - Getting figure geom path")));
    ASSERT_EQ(dialogTexts().size(), 1) << "only the install-directory message of startServer";
    EXPECT_TRUE(dialogTexts().first().contains(QStringLiteral("Tailorforge installation directory")));
    EXPECT_FALSE(figureRemembered());
}

TEST_F(Conversion, NoFigureSelected_NothingSent)
{
    m_body->select(false);
    serve(dressReply);

    convert();

    EXPECT_EQ(messagesAt(QStringLiteral("Debug")).last(), QStringLiteral(" - Geom path: "));
    EXPECT_EQ(dialogTexts(), QStringList{QStringLiteral("ERROR: No figure selected.  Please select a figure")});
    EXPECT_TRUE(conversionRequests().empty());
}

TEST_F(Conversion, ScriptOutsideEveryContentDirectory_ClearDialogAndNothingLoaded)
{
    serve(dressReply);
    m_scriptPath = QStringLiteral("/nowhere/convert.dsa");

    convert();

    ASSERT_EQ(dialogTexts().size(), 1);
    EXPECT_TRUE(dialogTexts().first().startsWith(processingFailed));
    EXPECT_TRUE(dialogTexts().first().contains(QStringLiteral("/nowhere/convert.dsa")));
    EXPECT_EQ(loadedCount(), 0);
    EXPECT_FALSE(figureRemembered());
}

// The remaining cases need the garment's load notice under the test's control.
class ConformAfterConversion : public Conversion {
protected:
    void SetUp() override
    {
        Conversion::SetUp();
        QObject::disconnect(&scene(), nullptr, m_clothing.get(), nullptr);
        serve(dressReply);
        convert();
        clearLog();
    }
};

TEST_F(ConformAfterConversion, GarmentFollowingNothingOrAnotherFigure_NotConformed)
{
    DzSkeleton* other = addNode<DzSkeleton>(QStringLiteral("Other Figure"), false);
    DzSkeleton loose(QStringLiteral("Loose Dress"));
    loose.setFollowTarget(other);

    m_clothing->clothingLoaded(&loose);

    EXPECT_EQ(messages(), (QStringList{
        QStringLiteral("New item loaded: Loose Dress"),
        QStringLiteral("Currently selected figure: Base Female"),
        QStringLiteral("Clothing: Loose Dress"),
        QStringLiteral("Conforming clothing to currently selected figure"),
        QStringLiteral("Clothing is NOT conformed"),
        QStringLiteral("Forgetting current figure")}));
    EXPECT_FALSE(figureRemembered());
}

TEST_F(ConformAfterConversion, FigureDeletedBeforeTheLoad_TreatedAsNothingPending)
{
    delete m_body;
    DzSkeleton dress(QStringLiteral("Summer Dress"));

    m_clothing->clothingLoaded(&dress);

    EXPECT_EQ(messages(), QStringList{QStringLiteral("New item loaded: Summer Dress")});
}

TEST_F(ConformAfterConversion, LaterConversion_OverwritesTheRememberedFigure)
{
    DzSkeleton* second = addNode<DzSkeleton>(QStringLiteral("Second Figure"), true);
    m_body->select(false);
    serve(dressReply);
    convert();
    clearLog();
    DzSkeleton dress(QStringLiteral("Summer Dress"));
    dress.setFollowTarget(second);

    m_clothing->clothingLoaded(&dress);

    EXPECT_TRUE(messages().contains(QStringLiteral("Currently selected figure: Second Figure")));
    EXPECT_TRUE(messages().contains(QStringLiteral("Clothing is conformed")));
}

} // namespace
