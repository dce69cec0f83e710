// tarnvel-egdb: builds and checks endgame databases.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "subcommands.h"

namespace {
// An argument as a POSIX shell reads it back.
std::string shellQuoted(const std::string& word) {
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:,+@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Help begins with the usage line; a command's one-line description is
// shown in the list of commands instead.
class HelpFormat : public CLI::Formatter {
public:
    HelpFormat() {
        label("Usage", "usage");
        column_width(30);
    }
    std::string make_description(const CLI::App*) const override { return ""; }
};
}  // namespace

int main(int argc, char** argv) {
    using namespace tarnvel::egdbtool;
    CLI::App app("", "tarnvel-egdb");
    app.formatter(std::make_shared<HelpFormat>());
    app.footer("tarnvel-egdb COMMAND --help gives the details of a command.");
    app.require_subcommand(1);
    BuildOptions build;
    for (int i = 0; i < argc; ++i) build.commandLine += (i ? " " : "") + shellQuoted(argv[i]);
    VerifyOptions verify;
    CLI::App* buildApp = addBuildCommand(app, build);
    CLI::App* verifyApp = addVerifyCommand(app, verify);
    SampleOptions sample;
    CLI::App* sampleApp = addSampleCommand(app, sample);
    const auto chosen = [&]() -> const CLI::App* {
        for (const CLI::App* sub : {buildApp, verifyApp, sampleApp})
            if (sub->parsed()) return sub;
        return &app;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const CLI::App* asked = chosen();
        std::fputs(asked->help(asked == &app ? "" : "tarnvel-egdb").c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        const CLI::App* failed = chosen();
        const std::string name = failed == &app ? "tarnvel-egdb" : "tarnvel-egdb " + failed->get_name();
        std::fprintf(stderr, "%s: %s (try --help)\n", name.c_str(), e.what());
        return USAGE_ERROR;
    }
    if (sampleApp->parsed()) return sampleCommand(sample);
    return buildApp->parsed() ? buildCommand(build) : verifyCommand(verify);
}
