// Quoting and splitting of one command-line text with the Windows rules, so
// the encoder command line can be logged as one text and started as argv, and
// the Windows platform can hand an argv to a child as one text.
#pragma once

#include <string>
#include <vector>

// Always quotes: backslashes before a quote (or before the closing quote) are
// doubled and the quote is escaped, so the argument splits back unchanged.
// An ordinary path gives just the path between two quotes.
std::string QuoteArgument(const std::string& argument);

// Leaves the argument as it is unless it is empty or holds a blank, tab,
// line end or quote; quotes it as QuoteArgument otherwise.
std::string QuoteArgumentIfNeeded(const std::string& argument);

// Splits at blanks and tabs outside quotes. 2n backslashes and a quote give n
// backslashes and toggle quoting; 2n+1 backslashes and a quote give n
// backslashes and a literal quote; other backslashes are literal. Inside
// quotes, a doubled quote gives a literal quote and ends the quoted part.
// Unlike the Windows program-name rule, the first argument follows the same
// rules, so a program path with quotes or backslashes survives a round trip.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
