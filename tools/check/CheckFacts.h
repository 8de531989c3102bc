// What one check found, kept apart from how it is printed: the text report
// and the JSON object are two renderings of the same facts.
#pragma once

#include <string>
#include <vector>

struct ShownLine {
    std::string where;  // "log" (log box), "box" (message box) or "status"
    std::string text;   // the program's own words
};

struct IgnoredRow {
    int line;          // line of IDString.txt, from 1
    std::string text;  // the line as written
};

struct CheckFacts {
    std::string id, revision, listPath;
    std::vector<ShownLine> shown;
    std::vector<std::string> notes;  // "Label    : text" lines, in the order found

    bool listFound = false;
    bool byteOrderMark = false;
    int rows = 0;
    std::vector<IgnoredRow> ignoredRows;
    int startUpRow = 0;     // the row that matches the drive, from 1; 0 for none
    bool confirmation = false;
    int revisionRow = 0;    // the row the revision picks, from 1; 0 before the choice
    std::string imagePath, imageKind;  // imageKind: "hex", "bin", "unknown" or empty
    int identificationFound = -1, revisionFound = -1;  // -1 not checked
    int checkSum = -1;      // what "Check Sum : %X" showed, -1 for none
    int chunks = 0, headerSum = -1, waitSkippedS = 0;
    bool saved = false;
    std::vector<std::string> why;
    std::string commandsSent, sumTrace;  // with --verbose
    bool verbose = false;
    int exit = 0;
};

std::string RenderCheckText(const CheckFacts& facts);
std::string RenderCheckJson(const CheckFacts& facts);
