#include "converter.h"
#include "protocol.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address_v4.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <csignal>
#include <optional>
#include <thread>

namespace fs = std::filesystem;
using namespace TestSupport;
using ConversionServer::Converter;
using boost::asio::ip::tcp;

namespace {

const std::string errorReply = Converter::errorReply();

// A running server on a free port with a garment library and a content folder of its own.
class ServerProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::canonical(temp.path());
        garments = root / "Garments";
        content = root / "content";
        script = content / "Scripts" / "demo.dsa";
        writeFile(garments / "Brackenmoor" / "Summer Dress",
                  "name: Summer Dress\ndescription: Light cotton\npiece: Bodice\npiece: Skirt\n");
        writeFile(script, "// demo\n");
        fs::create_directories(content / "Runtime");
        fs::create_directories(root / "outside");
    }

    void startServer(std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.end(), {"--garments", garments.string()});
        ASSERT_TRUE(server.startListening(GARBWRIGHT_SERVER_PROGRAM, arguments, root / "server.log"))
            << server.log();
    }

    std::string conversion(const std::string& vendor, const std::string& clothing,
                           const std::string& scriptPath) const
    {
        return "Base Female#" + vendor + "#" + clothing + "#" + scriptPath + "#\n";
    }

    Reply send(std::string_view request, bool halfClose = false) const
    {
        return exchange(server.port(), request, halfClose);
    }

    TemporaryFolder temp;
    fs::path root, garments, content, script;
    ServerProcess server;
};

} // namespace

TEST_F(ServerProcessTest, Probe_AnswersAStatusLine)
{
    startServer();
    const Reply reply = send(Protocol::probeRequest);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(reply.bytes, "Garbwright Server 1.0 ready\n");
}

TEST_F(ServerProcessTest, Conversion_WritesTheCr2AndAnswersItsRelativePath)
{
    startServer();
    const Reply reply = send(conversion("Brackenmoor", "Summer Dress", script.string()));
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(reply.bytes, "Runtime:Libraries:Character:Pliant Clothing:Brackenmoor:Summer Dress.cr2\n");

    const std::string cr2 = readFile(content / "Runtime/Libraries/Character/Pliant Clothing"
                                     / "Brackenmoor/Summer Dress.cr2");
    EXPECT_NE(cr2.find("figure\n\t{\n\tname Summer Dress\n\tconformTarget Base Female\n"),
              std::string::npos)
        << cr2;
    EXPECT_NE(cr2.find("\t\tpiece Skirt\n"), std::string::npos) << cr2;
    EXPECT_NE(server.log().find("converted garment 'Summer Dress' for figure 'Base Female'"),
              std::string::npos);
}

TEST_F(ServerProcessTest, Conversion_ReadsAndAnswersLatin1WithNamesOnDiskInUtf8)
{
    writeFile(garments / "Caf\xc3\xa9" / "Summer Dress", "name: Summer Dress\npiece: Skirt\n");
    startServer();

    const Reply reply = send(conversion("Caf\xe9", "Summer Dress", script.string()));

    EXPECT_EQ(reply.bytes, "Runtime:Libraries:Character:Pliant Clothing:Caf\xe9:Summer Dress.cr2\n");
    EXPECT_TRUE(fs::exists(content / "Runtime/Libraries/Character/Pliant Clothing" / "Caf\xc3\xa9"
                           / "Summer Dress.cr2"));
    // UTF-8 bytes are two Latin-1 characters each: a vendor that does not exist.
    EXPECT_EQ(send(conversion("Caf\xc3\xa9", "Summer Dress", script.string())).bytes, errorReply);
}

TEST_F(ServerProcessTest, BadRequests_AnswerErrorAndTheServerKeepsServing)
{
    startServer();
    const std::string requests[] = {
        conversion("Brackenmoor", "Missing Dress", script.string()),               // unknown garment
        conversion("Nobody", "Summer Dress", script.string()),                     // unknown vendor
        conversion("Brackenmoor", "Summer Dress", (root / "demo.dsa").string()),   // no content folder
        "Base Female#Brackenmoor#Summer Dress#\n",                                 // a field short
        "Base Female#Brackenmoor##" + script.string() + "#\n",                     // empty field
        "convert please\n",                                                        // unknown verb
        std::string("te\0st\n", 6),                                                // NUL byte
        "\xff\xfe\xc3\x28#\x80#\x80#/\x80#\n",                                     // names nothing
    };
    for (const std::string& request : requests) {
        const Reply reply = send(request);
        EXPECT_TRUE(reply.closedByServer);
        EXPECT_EQ(reply.bytes, errorReply) << request;
    }
    // Unreadable bytes reach the log escaped, never raw.
    EXPECT_NE(server.log().find("\"te\\x00st\\x0a\""), std::string::npos) << server.log();

    // A write that fails (the vendor folder is taken by a file) is an error too.
    writeFile(content / "Runtime/Libraries/Character/Pliant Clothing/Brackenmoor", "in the way");
    EXPECT_EQ(send(conversion("Brackenmoor", "Summer Dress", script.string())).bytes, errorReply);
    EXPECT_EQ(send(Protocol::probeRequest).bytes, Converter::statusReply());
}

TEST_F(ServerProcessTest, EscapeAttempts_AnswerErrorAndWriteNothingOutside)
{
    writeFile(root / "outside" / "Stolen", "name: Stolen\n");
    fs::create_symlink(root / "outside" / "Stolen", garments / "Brackenmoor" / "Stolen");
    fs::create_directory_symlink(root / "outside", garments / "Linked");
    // A second content folder whose Runtime leads out of it.
    const fs::path trap = root / "trap";
    writeFile(trap / "Scripts" / "demo.dsa", "");
    fs::create_directory_symlink(root / "outside", trap / "Runtime");
    startServer();

    const std::string requests[] = {
        conversion("..", "Summer Dress", script.string()),
        conversion("Brackenmoor/../..", "Summer Dress", script.string()),
        conversion("Brackenmoor", "../Brackenmoor/Summer Dress", script.string()),
        conversion("Brackenmoor", "..\\..\\Summer Dress", script.string()),
        conversion("Brackenmoor", "C:Summer Dress", script.string()),
        conversion("Brackenmoor", ".", script.string()),
        conversion("Brackenmoor", "Stolen", script.string()),
        conversion("Linked", "Stolen", script.string()),
        conversion("Brackenmoor", "Summer Dress", (trap / "Scripts" / "demo.dsa").string()),
        conversion("Brackenmoor", "Summer Dress", "Scripts/demo.dsa"),
        conversion("Brackenmoor", "Summer Dress", "../content/Scripts/demo.dsa"),
    };
    for (const std::string& request : requests)
        EXPECT_EQ(send(request).bytes, errorReply) << request;

    EXPECT_EQ(entriesBelow(root / "outside"), std::vector<fs::path>{root / "outside" / "Stolen"});
    EXPECT_FALSE(fs::exists(content / "Runtime" / "Libraries"));
}

TEST_F(ServerProcessTest, OversizedOrUnterminatedRequests_AnswerError)
{
    startServer();
    // The server answers once the bound is passed, without waiting for the rest.
    const Reply oversized = send(std::string(64 * 1024 + 1, 'x'));
    EXPECT_TRUE(oversized.closedByServer);
    EXPECT_EQ(oversized.bytes, errorReply);

    const Reply huge = send(std::string(1024 * 1024, 'x') + "\n");
    EXPECT_EQ(huge.bytes, errorReply);

    const Reply halfClosed = send("Base Female#Brackenmoor#Summer", true);
    EXPECT_TRUE(halfClosed.closedByServer);
    EXPECT_EQ(halfClosed.bytes, errorReply);
}

TEST_F(ServerProcessTest, SilentClient_IsDroppedWithoutHoldingUpOthers)
{
    startServer({"--idle-timeout", "1500"});
    const auto started = std::chrono::steady_clock::now();
    boost::asio::io_context io;
    // As many clients as the server serves at once: the oldest slow to send its request,
    // then silent ones, and last one that writes its request 50 ms after connecting, while
    // a flood of further clients connects.
    const tcp::endpoint endpoint(boost::asio::ip::address_v4::loopback(), server.port());
    tcp::socket slow(io);
    slow.connect(endpoint);
    boost::asio::write(slow, boost::asio::buffer(std::string_view(Protocol::probeRequest).substr(0, 2)));
    std::vector<tcp::socket> silentClients;
    for (int i = 0; i < 63 + 64; ++i) {
        silentClients.emplace_back(io);
        silentClients.back().connect(endpoint);
    }
    const auto exchangeOn = [](tcp::socket& socket, std::string_view request) {
        std::string reply;
        boost::system::error_code end;
        boost::asio::write(socket, boost::asio::buffer(request), end);
        if (!end)
            boost::asio::read(socket, boost::asio::dynamic_buffer(reply), end);
        socket.close();
        return reply;
    };
    std::this_thread::sleep_until(started + 50ms);
    EXPECT_EQ(exchangeOn(silentClients.at(62), Protocol::probeRequest), Converter::statusReply()) << server.log();

    // A silent client keeps its connection for its first 500 ms, however many wait.
    std::this_thread::sleep_until(started + 400ms);
    int dropped = 0;
    for (int i = 0; i < 62; ++i) {
        char byte = 0;
        boost::system::error_code end;
        silentClients.at(i).non_blocking(true);
        silentClients.at(i).read_some(boost::asio::buffer(&byte, 1), end);
        silentClients.at(i).non_blocking(false);
        dropped += end != boost::asio::error::would_block;
    }
    if (std::chrono::steady_clock::now() < started + 500ms) {
        EXPECT_EQ(dropped, 0) << server.log();
    }

    // Then the silent ones make room, not the one in the middle of its request, and others
    // are served while the silent clients hold their connections.
    char byte = 0;
    boost::system::error_code end;
    silentClients.front().read_some(boost::asio::buffer(&byte, 1), end);
    EXPECT_TRUE(end == boost::asio::error::eof || end == boost::asio::error::connection_reset) << end.message();
    EXPECT_EQ(exchangeOn(slow, std::string_view(Protocol::probeRequest).substr(2)), Converter::statusReply())
        << server.log();
    EXPECT_EQ(send(Protocol::probeRequest).bytes, Converter::statusReply());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_NE(server.log().find("64 connections open, making room"), std::string::npos) << server.log();

    // A partial request that stalls gets the error reply when the time is up.
    const Reply stalled = exchange(server.port(), "Base Female#", false, 3s);
    EXPECT_TRUE(stalled.closedByServer);
    EXPECT_EQ(stalled.bytes, errorReply);

    // By now the last silent client has been dropped: its read ends at once, with nothing.
    std::optional<boost::system::error_code> readEnd;
    silentClients.back().async_read_some(boost::asio::buffer(&byte, 1),
                                         [&](const boost::system::error_code& error, std::size_t count) {
                                             EXPECT_EQ(count, 0u);
                                             readEnd = error;
                                         });
    io.run_for(2s);
    ASSERT_TRUE(readEnd) << "the silent client was never dropped";
    EXPECT_TRUE(*readEnd == boost::asio::error::eof || *readEnd == boost::asio::error::connection_reset)
        << readEnd->message();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_NE(server.log().find("dropped: no request within 1500 ms"), std::string::npos) << server.log();
}

TEST_F(ServerProcessTest, AbortedClients_DoNotHurtTheServer)
{
    startServer();
    boost::asio::io_context io;
    for (int i = 0; i < 3; ++i) {
        // Connection reset in the middle of a request.
        tcp::socket socket(io);
        socket.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(), server.port()));
        boost::asio::write(socket, boost::asio::buffer(std::string("Base Female#Bracken")));
        socket.set_option(boost::asio::socket_base::linger(true, 0));
        socket.close();
    }
    // Half-closed before sending anything.
    EXPECT_EQ(send("", true).bytes, "");
    EXPECT_EQ(send(Protocol::probeRequest).bytes, Converter::statusReply());
}

TEST_F(ServerProcessTest, Stop_AnswersThenEndsWithStatusZero)
{
    startServer();
    const Reply reply = send(Protocol::stopRequest);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(reply.bytes, Converter::stopReply());
    EXPECT_EQ(server.waitForExit(), 0);
}

TEST_F(ServerProcessTest, Signals_EndTheServerCleanly)
{
    for (const int number : {SIGTERM, SIGINT}) {
        startServer();
        server.signal(number);
        EXPECT_EQ(server.waitForExit(), 0) << number;
    }
}

TEST_F(ServerProcessTest, PortInUse_FailsWithAClearMessage)
{
    startServer();
    ServerProcess second;
    second.start(GARBWRIGHT_SERVER_PROGRAM, {"--port", std::to_string(server.port())}, root / "second.log");
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_EQ(second.log(), "garbwright-server: cannot listen on 127.0.0.1:" + std::to_string(server.port())
                                + ": Address already in use\n");
}

TEST_F(ServerProcessTest, BadArguments_FailWithUsage)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "http"}, {"--bogus"}, {"--garments", (root / "nowhere").string()}};
    for (const auto& arguments : cases) {
        ServerProcess bad;
        bad.start(GARBWRIGHT_SERVER_PROGRAM, arguments, root / "bad.log");
        EXPECT_EQ(bad.waitForExit(), 2) << arguments.front();
        // One line that says what is wrong.
        const std::string log = bad.log();
        EXPECT_EQ(log.rfind("garbwright-server: ", 0), 0u) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    }
}

TEST_F(ServerProcessTest, DefaultLibrary_IsTheGarmentsFolderBesideTheProgram)
{
    // As installed for the demo: the program under its installed name, Garments beside it.
    const fs::path install = root / "Tailorforge";
    fs::create_directories(install);
    fs::copy_file(GARBWRIGHT_SERVER_PROGRAM, install / "Garbwright Server.exe");
    fs::copy(garments, install / "Garments", fs::copy_options::recursive);
    ASSERT_TRUE(server.startListening(install / "Garbwright Server.exe", {}, root / "server.log"))
        << server.log();
    EXPECT_EQ(send(conversion("Brackenmoor", "Summer Dress", script.string())).bytes,
              "Runtime:Libraries:Character:Pliant Clothing:Brackenmoor:Summer Dress.cr2\n");
}
