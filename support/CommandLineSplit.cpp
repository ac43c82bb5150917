#include "support/CommandLineSplit.h"

std::string QuoteArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Every backslash before a literal quote is escaped, and the quote too.
            quoted.append(backslashes * 2 + 1, '\\');
            quoted += '"';
        } else {
            quoted.append(backslashes, '\\');
            quoted += c;
        }
        backslashes = 0;
    }
    // Backslashes before the closing quote would escape it.
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string QuoteArgumentIfNeeded(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\r\n\v\"") == std::string::npos)
        return argument;
    return QuoteArgument(argument);
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool inQuotes = false;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (i < n) {
        const char c = commandLine[i];
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (inArgument) {
                args.push_back(std::move(current));
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            size_t count = 0;
            while (i < n && commandLine[i] == '\\') {
                ++count;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // An even count leaves the quote to the next round.
            } else {
                current.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            ++i;
            if (inQuotes && i < n && commandLine[i] == '"') {
                // A doubled quote inside quotes is a literal quote.
                current += '"';
                ++i;
                inQuotes = false;
            } else {
                inQuotes = !inQuotes;
            }
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}
