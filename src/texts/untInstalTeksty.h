// The text catalogue: every text the installer shows in its own words, by text number and language.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The interface language and column of the catalogue. The product family numbers further languages
// from 7 to 12; they have no column and read Polish.
enum TJezyk : std::uint8_t {
    jzPolski = 0,
    jzAngielski = 1,
    jzFrancuski = 2,
    jzNiemiecki = 3,
    jzWloski = 4,
    jzHiszpanski = 5,
    jzRosyjski = 6,
};

inline constexpr int kLanguageCount = 7;
inline constexpr int kTextCount = 340;  // text numbers run from 1 to kTextCount

// Text numbers. Each group begins one above a multiple of 20.
inline constexpr int txtInstallerTitle = 1;           // "%s": product title
inline constexpr int txtInstallationTitle = 2;        // "%s": product title
inline constexpr int txtBack = 3;
inline constexpr int txtNext = 4;
inline constexpr int txtClose = 5;
inline constexpr int txtCancel = 6;
inline constexpr int txtFinish = 7;
inline constexpr int txtAbort = 8;
inline constexpr int txtStepOf = 21;                  // "%d %d %s": step, number of steps, page title
inline constexpr int txtPageIntro = 22;               // the page titles follow in page order
inline constexpr int txtPageLicence = 23;
inline constexpr int txtPageOptions = 25;
inline constexpr int txtPageInstall = 26;
inline constexpr int txtPageEnd = 27;
inline constexpr int txtAskAbortInstall = 41;
inline constexpr int txtWelcome = 61;                 // "%s %s": product title twice
inline constexpr int txtAcceptLicence = 81;
inline constexpr int txtRejectLicence = 82;
inline constexpr int txtInstallIn = 121;
inline constexpr int txtChangeFolder = 122;
inline constexpr int txtFreeSpace = 123;              // "%s": size text
inline constexpr int txtRequiredSpace = 124;          // "%s": size text
inline constexpr int txtOptDictionaries = 125;
inline constexpr int txtOptStartMenu = 126;
inline constexpr int txtOptDesktopTranslators = 127;
inline constexpr int txtOptDesktopDictionaries = 128;
inline constexpr int txtAskLowSpace = 129;
inline constexpr int txtCannotCreateDir = 130;        // "%s": path
inline constexpr int txtOptAllUsers = 131;
inline constexpr int txtAdminNote = 132;
inline constexpr int txtInstalling = 141;             // "%s": product title
inline constexpr int txtCopyingFiles = 142;
inline constexpr int txtCreatingShortcuts = 143;
inline constexpr int txtCreatingRegistry = 144;
inline constexpr int txtFromPath = 145;               // "%s": path
inline constexpr int txtToPath = 146;                 // "%s": path
inline constexpr int txtCancelledDeleting = 147;
inline constexpr int txtDoneOk = 161;
inline constexpr int txtDoneError = 162;
inline constexpr int txtDoneAborted = 163;
inline constexpr int txtAttention = 181;
inline constexpr int txtYes = 182;
inline constexpr int txtNo = 183;
inline constexpr int txtQuestionCancel = 184;
inline constexpr int txtSelectDirectory = 221;
inline constexpr int txtOK = 222;
inline constexpr int txtNewFolder = 224;
inline constexpr int txtCannotCreateFolder = 225;     // "%s": path
inline constexpr int txtNewFolderTitle = 226;
inline constexpr int txtNewFolderAdd = 227;
inline constexpr int txtNewFolderCancel = 228;
inline constexpr int txtCdTitle = 301;                // "%s": product title
inline constexpr int txtCdPrompt = 302;               // "%s": product title

// The text of a number in a language, UTF-8: empty for numbers outside 1..kTextCount and for rows
// without text; languages without a column read Polish. Never throws (short of memory).
std::string PobierzTekst(TJezyk jezyk, int numer);

// The same cell without a copy; it lives as long as the program.
std::string_view TextCell(TJezyk jezyk, int numer) noexcept;

// The numbers of the rows that hold texts, ascending.
std::span<const int> TextRows() noexcept;
