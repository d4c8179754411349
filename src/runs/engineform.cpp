#include "runs/engineform.h"

namespace {

void logPositions(const RunLog &debug, const PlaceholderPositions &found)
{
    debug(QStringLiteral("URLPos: ") + QString::number(found.url), StatusKind::Plain);
    debug(QStringLiteral("EmailPos: ") + QString::number(found.email), StatusKind::Plain);
    debug(QStringLiteral("ContactPos: ") + QString::number(found.contact), StatusKind::Plain);
}

} // namespace

SubmissionForm ReadSubmissionForm(const EngineSection &section, const PlaceholderValues &values,
                                  const ValueEncoder &encoder, const RunLog &debug)
{
    using namespace EngineField;
    SubmissionForm form;
    const qsizetype lines = section.names.size();
    for (qsizetype i = 0; i < lines; ++i) {
        switch (i) {
        case Action:
            form.action = engineField(section, Action);
            if (debug)
                debug(QStringLiteral("ATmpURL: ") + form.action, StatusKind::Plain);
            break;
        case Method:
            form.method = engineField(section, Method);
            if (debug)
                debug(QStringLiteral("ATmpMethod: ") + form.method, StatusKind::Plain);
            break;
        case PostData:
            form.postData = engineField(section, PostData);
            break;
        case Encode:
            form.encode = engineField(section, Encode);
            if (debug)
                debug(QStringLiteral("ATmpEncode: ") + form.encode, StatusKind::Plain);
            break;
        case Sleep:
            form.sleep = engineIntField(section, Sleep);
            break;
        case MaxSubmit:
            form.maxSubmit = engineIntField(section, MaxSubmit);
            break;
        case InternalIndex:
            form.column = engineField(section, InternalIndex);
            if (debug)
                debug(QStringLiteral("ATmpInternalIndex: ") + form.column, StatusKind::Plain);
            break;
        default:
            break; // the search's lines
        }
        const PlaceholderPositions found = PlaceholderSubstitution(form.postData, values, form.encode, encoder);
        if (debug)
            logPositions(debug, found);
    }
    return form;
}

SearchForm ReadSearchForm(const EngineSection &section, const PlaceholderValues &values, const ValueEncoder &encoder,
                          const RunLog &debug)
{
    using namespace EngineField;
    PlaceholderValues searchValues = values;
    searchValues.engine.clear(); // no Excite values in a search
    SearchForm form;
    const qsizetype lines = section.names.size();
    for (qsizetype i = 0; i < lines; ++i) {
        switch (i) {
        case Method:
            form.method = engineField(section, Method);
            if (debug)
                debug(QStringLiteral("ATmpMethod: ") + form.method, StatusKind::Plain);
            break;
        case SearchAction:
            form.action = engineField(section, SearchAction);
            if (debug) {
                debug(QStringLiteral("ATmpSearchAction: ") + form.action, StatusKind::Plain);
                // The HTTP component keeps the address as it is given.
                debug(QStringLiteral("HTTPClient->URL = ") + form.action, StatusKind::Plain);
            }
            break;
        case SearchPostData:
            form.postData = engineField(section, SearchPostData);
            if (debug)
                debug(QStringLiteral("ATmpPostData: ") + form.postData, StatusKind::Plain);
            break;
        case SearchNone:
            form.none = engineField(section, SearchNone);
            if (debug)
                debug(QStringLiteral("ATmpSearchNone: ") + form.none, StatusKind::Plain);
            break;
        default:
            break;
        }
        const PlaceholderPositions found = PlaceholderSubstitution(form.postData, searchValues, QString(), encoder);
        if (debug)
            logPositions(debug, found);
    }
    return form;
}
