// garbwright-server: the stand-in for the companion application's conversion server.

#include "commandline.h"
#include "converter.h"
#include "logline.h"
#include "server.h"

#include <boost/system/system_error.hpp>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace ConversionServer;

namespace {

constexpr int exitUsage = 2;
constexpr int exitFailure = 1;

} // namespace

int main(int argc, char** argv)
{
    // A client that goes away, or a closed standard error, must not kill the server.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif

    CommandLine commandLine;
    try {
        commandLine = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        logLine(std::string(error.what()) + " (see --help)");
        return exitUsage;
    }
    if (commandLine.helpRequested) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    try {
        std::error_code error;
        std::filesystem::path garments;
        if (commandLine.garments) {
            garments = *commandLine.garments;
            if (!std::filesystem::is_directory(garments, error)) {
                logLine("garment library " + garments.string() + " is not a folder");
                return exitUsage;
            }
        } else {
            garments = defaultGarmentLibrary();
            if (!std::filesystem::is_directory(garments, error))
                logLine("warning: garment library " + garments.string()
                        + " is missing; every conversion will fail");
        }

        const Converter converter{GarmentLibrary(garments)};
        boost::asio::io_context io;
        ServerOptions options;
        options.port = commandLine.port;
        options.idleTimeout = commandLine.idleTimeout;
        const auto server = std::make_shared<Server>(io, converter, options);
        try {
            server->listen();
        } catch (const boost::system::system_error& listenError) {
            logLine("cannot listen on 127.0.0.1:" + std::to_string(commandLine.port) + ": "
                    + listenError.code().message());
            return exitFailure;
        }
        logLine("garment library " + garments.string());
        logLine("listening on 127.0.0.1:" + std::to_string(server->port()));
        server->start();

        // A handler that throws must not end the server; run again until it stops.
        while (!server->isStopping()) {
            try {
                io.run();
            } catch (const std::exception& runError) {
                logLine(std::string("internal error: ") + runError.what());
                io.restart();
            }
        }
        logLine("stopped");
        return 0;
    } catch (const std::exception& error) {
        logLine(std::string("fatal: ") + error.what());
        return exitFailure;
    }
}
