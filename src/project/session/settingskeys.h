#pragma once

// Every key of the application ini and of the project files, with its default.

namespace SettingsKeys {

struct Key
{
    const char *section;
    const char *key;
    const char *defaultValue;
};

// Application ini (Quillcast.ini in the base directory).
inline constexpr Key ProjectCounter{"Projects", "Project Counter", "0"};
inline constexpr Key WindowTop{"Positioning", "Top", "0"};
inline constexpr Key WindowLeft{"Positioning", "Left", "0"};
inline constexpr Key WindowHeight{"Positioning", "Height", "413"};
inline constexpr Key WindowWidth{"Positioning", "Width", "537"};
inline constexpr Key TestServer{"Test", "Server", "http://www.quillcast.example"};

// Project files (.qlc).
inline constexpr Key ProjectID{"Setup", "Project ID", "0"};
inline constexpr Key EngineList{"Search Engine Settings", "Engine List", "0"};
inline constexpr Key AutoList{"Search Engine Settings", "Auto", ""};
inline constexpr Key ManualList{"Search Engine Settings", "Manual", ""};
inline constexpr Key DownloadEngines{"Submit", "Download Engines", "1"};
inline constexpr Key Timeout{"Submit", "Timeout", "15"};
inline constexpr Key StatusLog{"Submit", "Status Log", "1"};
inline constexpr Key FirstName{"Info", "First Name", ""};
inline constexpr Key MiddleInitial{"Info", "MI", ""};
inline constexpr Key LastName{"Info", "Last Name", ""};
inline constexpr const char *EmailsSection = "Emails";
inline constexpr const char *EmailKeyFormat = "Email%1"; // line n of the e-mail box, n from 0
inline constexpr Key ExciteLanguage{"Advanced Engine Settings", "Excite Language", "Nothing Selected"};
inline constexpr Key ExciteLocation{"Advanced Engine Settings", "Excite Location", "Nothing Selected"};
inline constexpr Key ExciteCategory{"Advanced Engine Settings", "Excite Category", "Nothing Selected"};
inline constexpr const char *SearchEnginesSection = "Search Engines"; // one key per checked engine, value 1
inline constexpr Key IndexNowKey{"IndexNow", "Key", ""};
// Written by hand, never by the program: the webmaster APIs and the page checks.
inline constexpr Key GoogleKeyFile{"Google", "KeyFile", ""};
inline constexpr Key GoogleProperty{"Google", "Property", ""};
inline constexpr Key BingKeyFile{"Bing", "KeyFile", ""};
inline constexpr Key BingSite{"Bing", "Site", ""};
inline constexpr Key CheckPages{"Checks", "Pages", "0"};
inline constexpr Key CheckPerHost{"Checks", "PerHost", "4"};
inline constexpr Key CheckContent{"Checks", "Content", "page"}; // "main": the fingerprint takes the main content

} // namespace SettingsKeys
