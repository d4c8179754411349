#include "engines/builtinlists.h"

#include "engines/enginelist.h"

#include <QSaveFile>

namespace {

struct Endpoint
{
    const char *name;
    const char *action;
};

// Every one of them passes what it is sent to the others of the protocol:
// choosing one is enough, choosing more does no harm.
constexpr Endpoint Endpoints[] = {
    {"IndexNow", "https://api.indexnow.org/indexnow"},
    {"IndexNow-Bing", "https://www.bing.com/indexnow"},
    {"IndexNow-Naver", "https://searchadvisor.naver.com/indexnow"},
    {"IndexNow-Seznam", "https://search.seznam.cz/indexnow"},
    {"IndexNow-Yandex", "https://yandex.com/indexnow"},
    {"IndexNow-Yep", "https://indexnow.yep.com/indexnow"},
};

struct WebmasterPage
{
    const char *name;
    const char *home;
    const char *add;
    const char *comments;
};

constexpr WebmasterPage Pages[] = {
    {"Google Search Console", "https://search.google.com/search-console",
     "https://search.google.com/search-console/welcome",
     "Verify the site, then submit its sitemap; Google takes no IndexNow requests."},
    {"Bing Webmaster Tools", "https://www.bing.com/webmasters", "https://www.bing.com/webmasters/home",
     "Verify the site and submit its sitemap; Bing also takes IndexNow requests."},
    {"Yandex Webmaster", "https://webmaster.yandex.com", "https://webmaster.yandex.com/sites/add/",
     "Verify the site and submit its sitemap; Yandex also takes IndexNow requests."},
    {"Naver Search Advisor", "https://searchadvisor.naver.com", "https://searchadvisor.naver.com/console/board",
     "Register and verify the site, then submit its sitemap."},
    {"Baidu Search Resource Platform", "https://ziyuan.baidu.com", "https://ziyuan.baidu.com/site/index",
     "Register and verify the site; pages in Chinese are indexed best."},
};

// The engines reached through their webmaster APIs, after the IndexNow endpoints.
struct ApiEngine
{
    const char *name;
    const char *method;
    const char *action;
    const char *searchAction;
};

constexpr ApiEngine ApiEngines[] = {
    {"Google", "searchconsole", "https://www.googleapis.com/webmasters/v3",
     "https://searchconsole.googleapis.com/v1/urlInspection/index:inspect"},
    {"Bing", "bingwebmaster", "https://ssl.bing.com/webmaster/api.svc/json",
     "https://ssl.bing.com/webmaster/api.svc/json"},
};

bool write(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

namespace BuiltInLists {

QByteArray automaticList()
{
    QByteArray list = "; The IndexNow endpoints. Each takes a site's new and changed URLs in one\r\n"
                      "; JSON request per host; the site must publish the project's key as\r\n"
                      "; <key>.txt at its root.\r\n";
    int column = 1;
    for (const Endpoint &e : Endpoints) {
        list += QByteArray("[") + e.name + "]\r\n";
        list += QByteArray("QC_Action=") + e.action + "\r\n";
        list += "QC_Method=indexnow\r\n"
                "QC_PostData=url=$URL&key=$KEY\r\n"
                "QC_Encode=no\r\n"
                "QC_Sleep=0\r\n"
                "QC_Search_Action=NONE\r\n"
                "QC_Search_PostData=none\r\n"
                "QC_Search_None=none\r\n"
                "QC_MaxSubmit=10000\r\n";
        list += "QC_InternalIndex=E" + QByteArray::number(column++) + "\r\n\r\n";
    }
    list += "; Google's Search Console and Bing's webmaster API. Google is given the sitemaps the\r\n"
            "; project imported ([Google] KeyFile and Property in the project file), Bing the URLs\r\n"
            "; within the site's daily quota ([Bing] KeyFile and Site).\r\n";
    for (const ApiEngine &e : ApiEngines) {
        list += QByteArray("[") + e.name + "]\r\n";
        list += QByteArray("QC_Action=") + e.action + "\r\n";
        list += QByteArray("QC_Method=") + e.method + "\r\n";
        list += QByteArray("QC_PostData=") + e.method +
                "\r\n"
                "QC_Encode=no\r\n"
                "QC_Sleep=0\r\n";
        list += QByteArray("QC_Search_Action=") + e.searchAction + "\r\n";
        list += QByteArray("QC_Search_PostData=") + e.method + "\r\n";
        list += "QC_Search_None=none\r\n"
                "QC_MaxSubmit=10000\r\n";
        list += "QC_InternalIndex=E" + QByteArray::number(column++) + "\r\n\r\n";
    }
    return list;
}

QByteArray manualList()
{
    QByteArray list;
    for (const WebmasterPage &p : Pages) {
        list += QByteArray("[") + p.name + "]\r\n";
        list += QByteArray("QC_HomeURL=") + p.home + "\r\n";
        list += QByteArray("QC_AddURL=") + p.add + "\r\n";
        list += "QC_AutomaticSubmit=no\r\n"
                "QC_ResponseTime=days to weeks\r\n";
        list += "QC_Likes=Shows how the engine sees the site\r\n"
                "QC_Dislikes=Needs an account and a verified site\r\n";
        list += QByteArray("QC_Comments=") + p.comments + "\r\n\r\n";
    }
    return list;
}

bool writeWhereMissing(const QString &automaticPath, const QString &manualPath)
{
    if (!isManualEngineList(manualPath))
        write(manualPath, manualList());
    if (isAutomaticEngineList(automaticPath))
        return false;
    return write(automaticPath, automaticList());
}

} // namespace BuiltInLists
