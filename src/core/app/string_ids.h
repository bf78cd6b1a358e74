#pragma once

// The numbers of the string-table texts the core uses: message boxes, captions, instructions,
// verdict lines and file headings. One name per number; 188 and 210 share one text, and so do
// 195 and 200.

namespace qv {

// Captions.
inline constexpr int kStrErrorCaption = 111;

// Verdict lines: repeatability (fail / pass) and inter-instrument (fail / pass).
inline constexpr int kStrRepeatFailedLine1 = 106;
inline constexpr int kStrRepeatFailedLine2 = 107;
inline constexpr int kStrRepeatPassedLine1 = 108;
inline constexpr int kStrRepeatPassedLine2 = 109;
inline constexpr int kStrInstFailedLine1 = 166;
inline constexpr int kStrInstFailedLine2 = 167;
inline constexpr int kStrInstPassedLine1 = 168;

// Calibration: the white step's caption and instruction, the failure message.
inline constexpr int kStrWhiteStep = 110;
inline constexpr int kStrCalibrationFailed = 113;

// The link to the instrument was lost during a measurement or an entry exchange.
inline constexpr int kStrLinkLost = 114;
// The port could not be opened; the instrument was not identified.
inline constexpr int kStrPortNotOpened = 118;
// The port could not be opened because it does not exist, the user may not use it, or another
// program holds it (followed by that program when the system says).
inline constexpr int kStrPortNoPermission = 223;
inline constexpr int kStrPortBusy = 224;
inline constexpr int kStrPortMissing = 225;
inline constexpr int kStrNotIdentified = 121;

// Thresholds.
inline constexpr int kStrSaveThresholds = 154;
inline constexpr int kStrThresholdCharacters = 165;
inline constexpr int kStrRepeatAboveHalfInst = 175;
inline constexpr int kStrInstBelowTwiceRepeat = 176;
inline constexpr int kStrEnterNumber = 220;
inline constexpr int kStrThresholdRange = 221;

// Bitmaps.
inline constexpr int kStrNotABitmap = 160;
inline constexpr int kStrBitmapUnreadable = 163;

// Repeatability series: instructions before measurements 2 and 3, after a completed series,
// and the question before measurements 2 and 3.
inline constexpr int kStrSeriesDone = 169;
inline constexpr int kStrSecondInstruction = 172;
inline constexpr int kStrThirdInstruction = 173;
inline constexpr int kStrConfirmNextMeasurement = 174;

// The repeatability result file.
inline constexpr int kStrResultFilePrefix = 186;
inline constexpr int kStrDateLabel = 187;
inline constexpr int kStrInstrumentLabel = 188;
inline constexpr int kStrFirstBlock = 189;
inline constexpr int kStrSecondBlock = 191;
inline constexpr int kStrDeltaEColumn = 192;
inline constexpr int kStrThirdBlock = 193;
inline constexpr int kStrCoordinate2Column = 215;
// The inter-instrument check: headings of the two measurements, the message after one, the
// target and judgement result files, the implausible pair, a result file not written.
inline constexpr int kStrMeasurementFinished = 155;
inline constexpr int kStrTargetHeading = 179;
inline constexpr int kStrSampleHeading = 180;
inline constexpr int kStrJudgementFilePrefix = 194;
inline constexpr int kStrTargetSerialLabel = 195;
inline constexpr int kStrSampleSerialLabel = 196;
inline constexpr int kStrTargetBlock = 197;
inline constexpr int kStrSampleBlock = 198;
inline constexpr int kStrTargetFilePrefix = 199;
// The key a registration file's serial is read under; the target file writes 195 there, and
// the two share one text.
inline constexpr int kStrRegisteredSerialLabel = 200;
// Coefficient and registration files: the record file left after each write (prefix,
// comment key, block headings), the serial key a coefficient file is read under (the record
// file writes 188 there; the two share one text), and the key that refuses a registration
// file (a judgement file writes 196, the same text, on its third line).
inline constexpr int kStrRefusedRegistrationKey = 201;
inline constexpr int kStrRecordFilePrefix = 203;
inline constexpr int kStrCommentLabel = 204;
inline constexpr int kStrRecordReflectanceHeading = 205;
inline constexpr int kStrRecordFactorHeading = 206;
inline constexpr int kStrRecordChecksHeading = 207;
inline constexpr int kStrRecordRepeatHeading = 208;
inline constexpr int kStrRecordInterInstrumentHeading = 209;
inline constexpr int kStrCoefficientSerialLabel = 210;
inline constexpr int kStrImplausibleSpectra = 214;
inline constexpr int kStrResultFileNotWritten = 222;

// User calibration: the entry list and writing, deleting an entry.
inline constexpr int kStrEnterComment = 112;
inline constexpr int kStrSampleIncomplete = 122;
inline constexpr int kStrOverwriteEntry = 123;
inline constexpr int kStrChooseFirst = 124;
inline constexpr int kStrOtherInstrument = 125;
inline constexpr int kStrEntryWritten = 126;
inline constexpr int kStrEntryNumberLabel = 127;
inline constexpr int kStrEntryDeleted = 149;
inline constexpr int kStrCommentCharacters = 157;
inline constexpr int kStrFactorsRefused = 158;
inline constexpr int kStrEntryListTitle = 181;
// Coefficient and registration files.
inline constexpr int kStrCoeffFileRefused = 116;
inline constexpr int kStrCoeffFileUnreadable = 117;
inline constexpr int kStrRegistrationUnreadable = 151;
inline constexpr int kStrTargetRegistered = 152;
inline constexpr int kStrChooseRegistration = 153;
inline constexpr int kStrWriteTitle = 183;
// An entry not written because the command could not be sent as it stands; an entry left
// empty because its old contents were deleted and the new ones could not be written.
inline constexpr int kStrEntryNotWritten = 226;
inline constexpr int kStrEntryEmptied = 227;
// Verifying a correction: the question after a write, the instrument that does not apply the
// entry yet, the heading of the differences before the correction in the judgement file.
inline constexpr int kStrVerifyCorrection = 228;
inline constexpr int kStrCorrectionNotApplied = 229;
inline constexpr int kStrBeforeCorrection = 230;
inline constexpr int kStrTileOtherInstrument = 231;
inline constexpr int kStrLogbookProblem = 232;
inline constexpr int kStrTileSetRefused = 233;
// The logbook's commands: a certificate not saved, the spectra exported or not, the result
// files imported.
inline constexpr int kStrCertificateNotSaved = 234;
inline constexpr int kStrSpectraExported = 235;
inline constexpr int kStrSpectraNotExported = 236;
// How a CxF3 export arranges the spectra: one object per reading or one per angle.
inline constexpr int kStrCxfLayout = 266;
inline constexpr int kStrFilesImported = 237;
// Entries: a write that stopped after the new comment went in, a deletion the instrument did
// not confirm, the question before an entry is emptied without the deletion dialog.
inline constexpr int kStrEntryIncomplete = 238;
inline constexpr int kStrDeletionUnconfirmed = 239;
inline constexpr int kStrEmptyEntryQuestion = 240;
// Target and sample carry the same serial: judge them anyway?
inline constexpr int kStrSameInstrument = 250;
inline constexpr int kStrOtherRepeatable = 251;
// Factors fitted over a tile set that the diagnosis says cannot correct the instrument: write
// them anyway?
inline constexpr int kStrCorrectionDoubtful = 252;
// What new factors stand on when the instrument holds entries: entries that did not change the
// readings when last written; which entry the readings passed through (a question of fact); no
// write, because the factors of what they passed through are not known.
inline constexpr int kStrEntriesIgnored = 255;
inline constexpr int kStrWhichEntryApplies = 262;
inline constexpr int kStrBasisNotKnown = 263;
// The logbook server: another workstation's logbook file sent to it or not; a new location saved
// for the next start.
inline constexpr int kStrLogbookFileSent = 257;
inline constexpr int kStrLogbookFileNotSent = 258;
inline constexpr int kStrLogbookLocationSaved = 259;
// Before each reading of a series over many readings with handling.
inline constexpr int kStrLiftSpecimen = 260;
// Between the readings of one averaged press in the tile window, naming the tile and reading.
inline constexpr int kStrPlaceOnTileAgain = 264;
// A performance statement that could not be written, with the reason after it.
inline constexpr int kStrPerformanceNotSaved = 261;
// An action that trusts the instrument (a write, a certificate, a statement) held back by the
// lab's check intervals, with the instrument's overdue checks after it.
inline constexpr int kStrHeldBack = 265;
inline constexpr int kStrCoordinate3Column = 216;
inline constexpr int kStrCoordinate1Column = 217;

}  // namespace qv
