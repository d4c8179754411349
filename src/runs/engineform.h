#pragma once

#include "engines/enginelist.h"
#include "runs/placeholders.h"
#include "runs/runobserver.h"

#include <QString>
#include <functional>

// Receives the diagnostic status lines of a run (text, status-log kind).
using RunLog = std::function<void(const QString &text, StatusKind kind)>;

// One URL's submission to an engine, read from the engine's section by position.
struct SubmissionForm
{
    QString action;    // line 0: where the form goes
    QString method;    // line 1: "post" or "get"; anything else sends nothing
    QString encode;    // line 3: "yes" leaves later substituted values unencoded
    int sleep = 0;     // line 4: seconds to pause before the request
    int maxSubmit = 0; // line 8: the engine's per-run limit (0 when missing or no number)
    QString column;    // line 9 as written (check it before using it in the URL table)
    QString postData;  // line 2, filled: one substitution pass after every line from line 2 on
};

// One URL's search request to an engine.
struct SearchForm
{
    QString method;   // line 1
    QString action;   // line 5; "NONE" marks an engine that cannot be searched
    QString postData; // line 6, filled: one pass after every line from line 6 on, every value encoded
    QString none;     // line 7: the encoded text of the engine's "not listed" answer
};

// Reads the section's lines 0 ... (number of key names - 1) in order; a line that
// is missing or carries another key gives "" or 0. After each line one
// PlaceholderSubstitution pass runs over the template with the encode text read
// so far, so the first occurrence of a placeholder is always encoded and each
// later line replaces one more occurrence. debug, when set, receives the
// diagnostic lines in the order the lines are read. Never throws.
SubmissionForm ReadSubmissionForm(const EngineSection &section, const PlaceholderValues &values,
                                  const ValueEncoder &encoder = {}, const RunLog &debug = {});

// The same for the search: the encode line is not read (every value is encoded)
// and the Excite placeholders are always empty.
SearchForm ReadSearchForm(const EngineSection &section, const PlaceholderValues &values,
                          const ValueEncoder &encoder = {}, const RunLog &debug = {});
