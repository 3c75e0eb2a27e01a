// The message catalogue: every user-visible text of the system by its id.
// Texts that hold printf conversions are formats; fill them with
// ReportMessage, LogMessageId or FormatText and never use a filled text as a
// format again.
#pragma once

namespace qb {

// Returns the text for `id`, or an empty text for an id the catalogue does not
// hold. The text lives as long as the process.
const char* LoadMessage(int id);

namespace msg {
// Application texts.
constexpr int kAppName = 128;  // "Quillbank Manager"
constexpr int kDocTemplate = 129;
constexpr int kVersion = 130;      // "1.0.3.1"
constexpr int kProductName = 131;  // "Quillbank"
constexpr int kBannerWithAddress = 132;
constexpr int kBanner = 133;
constexpr int kLocaleTime = 138;     // "eng"
constexpr int kLocaleNumeric = 139;  // "deu"
constexpr int kFileFilter = 140;
constexpr int kDefaultExtension = 141;
constexpr int kWordVersion = 144;
constexpr int kPrinted = 145;
constexpr int kRingMemory = 146;
constexpr int kSlot = 147;
constexpr int kError = 148;  // "ERROR"
constexpr int kCaptionInit = 149;
constexpr int kCaptionRead = 150;
constexpr int kCannotFind = 151;
constexpr int kFile = 152;
constexpr int kSoftwareSignature = 155;
constexpr int kReinsertCard = 157;
constexpr int kPleaseWait = 158;
constexpr int kCaptionInfo = 159;
constexpr int kRecordChecksum = 163;
constexpr int kNoTemplate = 164;
constexpr int kCannotCreateDocument = 165;
constexpr int kWrongTemplate = 166;
constexpr int kUnexpectedRecordNumber = 168;
constexpr int kUnexpectedEnd = 169;
constexpr int kWrongFormat = 170;
constexpr int kCannotOverwrite = 171;
constexpr int kUnsupportedProtocol = 173;
constexpr int kCardNotEmpty = 174;
constexpr int kEmpty = 175;  // "<<empty>>"
constexpr int kOverwriteCard = 176;
constexpr int kDestinationExists = 177;
constexpr int kManipulated = 178;
constexpr int kCannotProtect = 179;
constexpr int kCannotDeleteCard = 180;
constexpr int kNoData = 181;
constexpr int kCardInfo = 183;
constexpr int kIdString = 184;
constexpr int kRing = 185;
constexpr int kLinear = 186;
constexpr int kFileNotOpened = 187;
constexpr int kInconsistentOptions = 188;
constexpr int kMemoryOrganization = 189;
constexpr int kBaud = 190;
constexpr int kWrongParity = 191;
constexpr int kCapacityTooMuch = 192;
constexpr int kComputingLayout = 193;
constexpr int kAbortFunction = 194;
constexpr int kHoldResults = 195;

// Job and card-access texts.
constexpr int kApiResult = 480;
constexpr int kNoKdvDriver = 481;
constexpr int kSlotNotAvailable = 482;
constexpr int kNoCard = 483;
constexpr int kWriteProtected = 484;
constexpr int kNoAtaCard = 485;
constexpr int kCardNotSupported = 487;
constexpr int kClosingCard = 488;
constexpr int kErrorOpeningCard = 489;
constexpr int kUserAbort = 490;
constexpr int kBaudrateRange = 491;
constexpr int kParameterList = 492;
constexpr int kIllegalProtocol = 493;
constexpr int kTimeoutRange = 494;
constexpr int kWritingReserved = 495;
constexpr int kCommentNotFound = 496;
constexpr int kCommentTooLarge = 497;
constexpr int kReadingCommentFile = 498;
constexpr int kWritingComment = 499;
constexpr int kCardTooSmall = 500;
constexpr int kWritingFirstData = 501;
constexpr int kWritingMaster = 502;
constexpr int kInvalidOption = 503;
constexpr int kOpeningFile = 505;
constexpr int kOptionFileLine = 506;
constexpr int kInvalidReserved = 507;
constexpr int kInvalidMaster = 508;
constexpr int kReadingComment = 509;
constexpr int kUnexpectedEndOfComment = 510;
constexpr int kWritingStartRecord = 511;
constexpr int kWritingOptionRecord = 512;
constexpr int kWritingCommentRecord = 513;
constexpr int kWritingDataRecord = 514;
constexpr int kUserBreak = 515;
constexpr int kWritingEndRecord = 516;
constexpr int kReadingRecordSector = 517;
constexpr int kIllegalRecordLength = 518;
constexpr int kFocusSearchAt = 519;
constexpr int kUnexpectedEndOfFocus = 520;
constexpr int kFocusSearchFailed = 521;
constexpr int kCreatingOutput = 522;
constexpr int kReadError = 524;
constexpr int kChecksumFailure = 526;
constexpr int kErrorOpeningCom = 527;
constexpr int kReceiverOverflow = 528;
constexpr int kReceiverTimeout = 529;
constexpr int kReceiverChecksum = 530;
constexpr int kCommandError = 531;
constexpr int kCharacterError = 532;
constexpr int kTimeoutWaiting = 533;
constexpr int kLine = 534;
constexpr int kCapacity = 535;
constexpr int kUsedCapacity = 536;
constexpr int kOpenCardDriver = 538;
constexpr int kMasterNumber = 539;
constexpr int kMasterWritten = 540;
constexpr int kCommentWritten = 541;
constexpr int kRecordsWritten = 542;
constexpr int kStart = 543;
constexpr int kFocus = 544;
constexpr int kCloseLogfile = 545;
constexpr int kOpenLogfile = 546;
constexpr int kScanningFile = 547;
constexpr int kOf = 548;
constexpr int kPage = 549;
constexpr int kWritingLine = 550;
constexpr int kSearching = 551;
// A card that another job holds open.
constexpr int kCardInUse = 560;
// The card driver back-end's capacity cut to what its requests can address.
constexpr int kCapacityLimited = 561;  // sectors
// The reason a file that is a folder, pipe or device is not read as a file.
constexpr int kNotRegularFile = 562;
constexpr int kOutOfMemory = 563;

// Texts of menus and dialogs, kept in the same catalogue.
constexpr int kMenuTextsFirst = 60000;
constexpr int kDialogTextsFirst = 61000;
constexpr int kProgressCaption = 61000;  // "Message"
constexpr int kProgressCancel = 61001;   // "A&bbruch"
constexpr int kCannotCreateIdFile = 61038;
constexpr int kTextFileFilter = 61039;
constexpr int kTextExtension = 61040;
constexpr int kDeviceLabel = 61041;  // "Device:"
// The drive names the Select Drive dialog lists, one a line.
constexpr int kListedDrives = 61042;
constexpr int kManualMissing = 61100;
// Printing to a PDF from the command line.
constexpr int kPrintToPdfUsage = 61600;
constexpr int kNotPrinted = 61601;      // record file
constexpr int kNothingToPrint = 61602;  // record file
constexpr int kPrintedToPdf = 61603;    // record file, PDF file, pages
constexpr int kPdfNotWritten = 61604;   // PDF file, the system's reason
// Output files that take their name only when complete.
constexpr int kOutputIsCard = 61800;        // output file (a job message)
constexpr int kExportTargetExists = 61802;  // export file (qbd)
constexpr int kRecordFileChanged = 61804;   // record file (%1)
constexpr int kExportIsDocument = 61805;    // export file (%1)
constexpr int kCannotWriteFile = 61806;     // file (%1), the system's reason (%2)
// The print loop's failure to start a job.
constexpr int kFailedToStartPrint = 61702;
// The stand-in card driver's refusals of a device name.
constexpr int kDriverNameTooLong = 62000;  // driver path, its longest length
constexpr int kSocketPathTooLong = 62001;  // socket path, its longest length
// The application's title, also the name of its key in the settings store.
constexpr int kAppTitle = 57344;     // "Quillbank Manager"
constexpr int kIdleMessage = 57345;  // "Ready"
constexpr int kIndicatorCaps = 59137;
constexpr int kIndicatorNum = 59138;
constexpr int kIndicatorScroll = 59139;
}  // namespace msg

}  // namespace qb
