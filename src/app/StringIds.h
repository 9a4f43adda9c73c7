// The ids of every text the program shows: window and dialog strings,
// questions and notices (IDS_, IDP_), error messages (IDE_) and the one-line
// entries of a run's error log (IDL_). Every id listed here has its text in
// the string table (StringTable.cpp); code names texts only through these
// constants.
#pragma once

#include <cstdint>

// X(name, id): the one list from which the constants and kAllStringIds come.
#define ORVANO_STRING_IDS(X)                                   \
    X(IDS_APP_TITLE, 100)                                      \
    X(IDS_PROJECT_DOCUMENT_TEMPLATE, 101)                      \
    X(IDS_LANGUAGE_NAME, 199)                                  \
    X(IDS_INFO_SOURCE_FORMAT, 300)                             \
    X(IDS_INFO_DESTINATION_FORMAT, 301)                        \
    X(IDS_INFO_DESTINATION_FILE, 302)                          \
    X(IDS_INFO_NO_FILES_SELECTED, 303)                         \
    X(IDS_INFO_DIFFERENT_SOURCE_FORMATS, 304)                  \
    X(IDS_INFO_DIFFERENT_DESTINATION_FORMATS, 305)             \
    X(IDS_INFO_NO_FORMAT_INFORMATION, 306)                     \
    X(IDS_INFO_NO_DESTINATION, 307)                            \
    X(IDS_INFO_DIFFERENT_DESTINATIONS, 308)                    \
    X(IDS_INFO_SOURCE_FORMAT_UNKNOWN, 309)                     \
    X(IDS_INFO_DESTINATION_FORMAT_UNKNOWN, 310)                \
    X(IDS_SELECT_DESTINATION_FILE, 311)                        \
    X(IDS_SELECT_DESTINATION_PATH, 312)                        \
    X(IDS_CONV_PROCESSING_ITEM, 313)                           \
    X(IDS_CONV_SOURCE, 315)                                    \
    X(IDS_CONV_DESTINATION, 316)                               \
    X(IDS_CONV_HIGH_QUALITY, 317)                              \
    X(IDS_CONV_LOW_QUALITY, 318)                               \
    X(IDS_CONV_ITEM_STATISTICS, 319)                           \
    X(IDS_CONV_PROJECT_STATISTICS, 320)                        \
    X(IDS_CONV_ITEM_STATISTICS_LINE, 321)                      \
    X(IDS_CONV_PROJECT_STATISTICS_LINE, 322)                   \
    X(IDS_CONV_ITEM_TIME_RUNNING, 323)                         \
    X(IDS_CONV_ITEM_TIME_LEFT, 324)                            \
    X(IDS_CONV_PROJECT_TIME_RUNNING, 325)                      \
    X(IDS_CONV_PROJECT_TIME_LEFT, 326)                         \
    X(IDS_CONV_ITEM_TIME_LEFT_VALUE, 327)                      \
    X(IDS_CONV_PROJECT_TIME_LEFT_VALUE, 328)                   \
    X(IDS_CONV_PAUSE, 332)                                     \
    X(IDS_CONV_ABORT, 333)                                     \
    X(IDS_CONV_ERROR_LOG, 334)                                 \
    X(IDS_CONV_FINISHED, 335)                                  \
    X(IDS_CONV_RESUME, 336)                                    \
    X(IDS_CONV_BACK, 337)                                      \
    X(IDS_CONV_ABORTED, 338)                                   \
    X(IDS_CONV_COMPRESSION, 339)                               \
    X(IDS_STOP_PLAYBACK, 350)                                  \
    X(IDS_STOP_PLAYBACK_CONTEXT, 351)                          \
    X(IDP_CONFIRM_ABORT, 352)                                  \
    X(IDP_CONFIRM_FORCED_TERMINATION, 353)                     \
    X(IDS_PRIORITY_CLASS_IDLE, 355)                            \
    X(IDS_PRIORITY_CLASS_NORMAL, 356)                          \
    X(IDS_PRIORITY_CLASS_HIGH, 357)                            \
    X(IDS_PRIORITY_CLASS_REALTIME, 358)                        \
    X(IDS_PRIORITY_LOWEST, 359)                                \
    X(IDS_PRIORITY_LOW, 360)                                   \
    X(IDS_PRIORITY_NORMAL, 361)                                \
    X(IDS_PRIORITY_HIGH, 362)                                  \
    X(IDS_PRIORITY_HIGHEST, 363)                               \
    X(IDP_CONFIRM_RESET_STATISTICS, 364)                       \
    X(IDS_YES, 365)                                            \
    X(IDS_NO, 366)                                             \
    X(IDS_STATS_SOURCE_FORMAT, 367)                            \
    X(IDS_STATS_DESTINATION_FORMAT, 368)                       \
    X(IDS_STATS_PERFORMANCE, 369)                              \
    X(IDS_STATS_QUALITY, 370)                                  \
    X(IDS_STATS_HIGH, 371)                                     \
    X(IDS_STATS_LOW, 372)                                      \
    X(IDP_CONFIRM_CLOSE_RUNNING_PROJECT, 374)                  \
    X(IDP_CONFIRM_EXIT_WHILE_RUNNING, 375)                     \
    X(IDP_KEEP_FAILED_ITEMS, 376)                              \
    X(IDS_COLUMN_FILENAME, 377)                                \
    X(IDS_COLUMN_SIZE, 378)                                    \
    X(IDS_COLUMN_LENGTH, 379)                                  \
    X(IDP_NO_HELP_FILE, 380)                                   \
    X(IDP_SAVED_FORMAT_EXISTS, 381)                            \
    X(IDP_SAVED_FORMAT_UNAVAILABLE, 382)                       \
    X(IDE_LIBRARIES_MISSING, 1020)                             \
    X(IDE_LIBRARY_INIT_FAILED, 1021)                           \
    X(IDE_NO_LIBRARY_LOADED, 1022)                             \
    X(IDE_NO_INPUT_LIBRARY, 1023)                              \
    X(IDE_NO_OUTPUT_LIBRARY, 1024)                             \
    X(IDE_MAIN_WINDOW_CREATION, 1025)                          \
    X(IDE_INVALID_COMMAND_LINE, 1026)                          \
    X(IDE_FILE_FORMAT_NOT_ADDED, 1027)                         \
    X(IDE_FORMAT_TAG_NOT_ADDED, 1028)                          \
    X(IDE_FORMAT_NOT_ADDED, 1029)                              \
    X(IDE_MISSING_FILE_EXTENSION, 1030)                        \
    X(IDE_INVALID_FILE_EXTENSION, 1031)                        \
    X(IDE_OPEN_FILE_FAILURE, 1032)                             \
    X(IDE_GET_FORMAT_FAILURE, 1033)                            \
    X(IDE_CLOSE_FILE_WARNING, 1034)                            \
    X(IDE_GET_FILE_SIZE_FAILURE, 1035)                         \
    X(IDE_AUDIO_FORMAT_NOT_AVAILABLE, 1036)                    \
    X(IDE_FILE_LIST_CREATION, 1037)                            \
    X(IDE_INFO_AREA_CREATION, 1038)                            \
    X(IDE_SYSTEM_INFO_NOT_AVAILABLE, 1039)                     \
    X(IDE_SELECTION_BUFFER_ALLOCATION, 1040)                   \
    X(IDE_SELECTION_BUFFER_TOO_SMALL, 1041)                    \
    X(IDE_INVALID_FILENAME, 1042)                              \
    X(IDE_FILE_SELECTION_FAILURE, 1043)                        \
    X(IDE_ITEM_CREATION_FAILED, 1044)                          \
    X(IDE_CONVERSION_IMPOSSIBLE, 1045)                         \
    X(IDE_INVALID_DESTINATION_NAME, 1046)                      \
    X(IDE_DESTINATION_SELECTION_FAILURE, 1047)                 \
    X(IDE_PATH_SELECTION_FAILURE, 1048)                        \
    X(IDE_LAYOUT_RECALCULATION, 1049)                          \
    X(IDE_CONVERSION_AREA_CREATION, 1050)                      \
    X(IDE_ITEM_PLAYBACK_FAILED, 1051)                          \
    X(IDE_ITEM_PLAYBACK_STOP_FAILED, 1052)                     \
    X(IDE_PROJECT_SAVE_FAILED, 1054)                           \
    X(IDE_PROJECT_OPEN_FAILED, 1055)                           \
    X(IDE_PROJECT_FILE_CORRUPT, 1056)                          \
    X(IDE_INVALID_PROJECT_ITEMS_OPEN, 1057)                    \
    X(IDE_INVALID_PROJECT_ITEMS_PASTE, 1058)                   \
    X(IDL_SOURCE_OPEN, 1100)                                   \
    X(IDL_SOURCE_CLOSE, 1101)                                  \
    X(IDL_DESTINATION_OPEN, 1102)                              \
    X(IDL_DESTINATION_CLOSE, 1103)                             \
    X(IDL_PREPARE_READ, 1104)                                  \
    X(IDL_PREPARE_WRITE, 1105)                                 \
    X(IDL_FORMAT_WRITE, 1106)                                  \
    X(IDL_STREAM_OPEN, 1107)                                   \
    X(IDL_STREAM_PREPARE, 1108)                                \
    X(IDL_AUDIO_READ, 1109)                                    \
    X(IDL_CONVERSION, 1110)                                    \
    X(IDL_AUDIO_WRITE, 1111)                                   \
    X(IDL_FINALIZE_READ, 1112)                                 \
    X(IDL_FINALIZE_WRITE, 1113)                                \
    X(IDL_STREAM_UNPREPARE, 1114)                              \
    X(IDE_SOURCE_OPEN_FAILED, 1200)                            \
    X(IDE_SOURCE_CLOSE_FAILED, 1201)                           \
    X(IDE_DESTINATION_OPEN_FAILED, 1202)                       \
    X(IDE_DESTINATION_CLOSE_FAILED, 1203)                      \
    X(IDE_PREPARE_READ_FAILED, 1204)                           \
    X(IDE_PREPARE_WRITE_FAILED, 1205)                          \
    X(IDE_FORMAT_WRITE_FAILED, 1206)                           \
    X(IDE_STREAM_OPEN_FAILED, 1207)                            \
    X(IDE_STREAM_PREPARE_FAILED, 1208)                         \
    X(IDE_AUDIO_READ_ERROR, 1209)                              \
    X(IDE_CONVERSION_FAILED, 1210)                             \
    X(IDE_AUDIO_WRITE_ERROR, 1211)                             \
    X(IDE_FINALIZE_READ_FAILED, 1212)                          \
    X(IDE_FINALIZE_WRITE_FAILED, 1213)                         \
    X(IDE_STREAM_UNPREPARE_FAILED, 1214)

#define ORVANO_DECLARE_STRING_ID(name, id) inline constexpr uint32_t name = id;
ORVANO_STRING_IDS(ORVANO_DECLARE_STRING_ID)
#undef ORVANO_DECLARE_STRING_ID

// A log entry's detailed message is the entry's id plus this offset.
inline constexpr uint32_t kLogEntryDetailOffset = 100;

struct SStringIdName {
    const char* name;
    uint32_t id;
};

#define ORVANO_STRING_ID_NAME(name, id) SStringIdName{#name, id},
inline constexpr SStringIdName kAllStringIds[] = {ORVANO_STRING_IDS(ORVANO_STRING_ID_NAME)};
#undef ORVANO_STRING_ID_NAME
