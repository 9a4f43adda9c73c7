#include "app/StringTable.h"

#include <algorithm>
#include <iterator>

namespace {

struct SStringEntry {
    uint32_t id;
    std::string_view text;
};

// Error messages are "title|reason|remedy" (or "title|reason"); a message that
// takes an argument has exactly one "%s" for it.
constexpr SStringEntry kStringTable[] = {
    {IDS_APP_TITLE, "Orvano"},
    {IDS_PROJECT_DOCUMENT_TEMPLATE,
     "\nProject\nProject\nConversion Projects (*.cnv)\n.cnv\nOrvano.Project\nConversion Project"},
    {IDS_LANGUAGE_NAME, "English"},

    {IDS_INFO_SOURCE_FORMAT, "Source Format"},
    {IDS_INFO_DESTINATION_FORMAT, "Destination Format"},
    {IDS_INFO_DESTINATION_FILE, "Destination File"},
    {IDS_INFO_NO_FILES_SELECTED, "No files selected."},
    {IDS_INFO_DIFFERENT_SOURCE_FORMATS, "Different formats"},
    {IDS_INFO_DIFFERENT_DESTINATION_FORMATS, "Different formats"},
    {IDS_INFO_NO_FORMAT_INFORMATION, "No format information"},
    {IDS_INFO_NO_DESTINATION, "No destination specified"},
    {IDS_INFO_DIFFERENT_DESTINATIONS, "Different destinations"},
    {IDS_INFO_SOURCE_FORMAT_UNKNOWN, "Unable to determine source format information"},
    {IDS_INFO_DESTINATION_FORMAT_UNKNOWN, "Unable to determine destination format information"},
    {IDS_SELECT_DESTINATION_FILE, "Select Destination File"},
    {IDS_SELECT_DESTINATION_PATH, "Select Destination Path"},

    {IDS_CONV_PROCESSING_ITEM, "Processing Item %u of %u"},
    {IDS_CONV_SOURCE, "Source"},
    {IDS_CONV_DESTINATION, "Destination"},
    {IDS_CONV_HIGH_QUALITY, "High Quality"},
    {IDS_CONV_LOW_QUALITY, "Low Quality"},
    {IDS_CONV_ITEM_STATISTICS, "Item Statistics"},
    {IDS_CONV_PROJECT_STATISTICS, "Project Statistics"},
    {IDS_CONV_ITEM_STATISTICS_LINE, "%s of %s converted (%0.2f %%) at %s"},
    {IDS_CONV_PROJECT_STATISTICS_LINE, "%s of %s converted (%0.2f %%) at %s"},
    {IDS_CONV_ITEM_TIME_RUNNING, "Time Running:"},
    {IDS_CONV_ITEM_TIME_LEFT, "Estimated Time Left:"},
    {IDS_CONV_PROJECT_TIME_RUNNING, "Time Running:"},
    {IDS_CONV_PROJECT_TIME_LEFT, "Estimated Time Left:"},
    {IDS_CONV_ITEM_TIME_LEFT_VALUE, "%s of %s"},
    {IDS_CONV_PROJECT_TIME_LEFT_VALUE, "%s of %s"},
    {IDS_CONV_PAUSE, "&Pause"},
    {IDS_CONV_ABORT, "&Abort"},
    {IDS_CONV_ERROR_LOG, "Error Log"},
    {IDS_CONV_FINISHED, "Conversion Finished"},
    {IDS_CONV_RESUME, "&Resume"},
    {IDS_CONV_BACK, "&Back"},
    {IDS_CONV_ABORTED, "Conversion Aborted"},
    {IDS_CONV_COMPRESSION, "Compression"},

    {IDS_STOP_PLAYBACK, "Stop &Playback"},
    {IDS_STOP_PLAYBACK_CONTEXT, "Stop &Playback"},
    {IDP_CONFIRM_ABORT, "Are you sure you want to abort the currently running conversion process ?"},
    {IDP_CONFIRM_FORCED_TERMINATION,
     "The conversion process doesn't respond to the abort request. Do you want to force the conversion "
     "process to terminate ?\r\n\r\nA terminated conversion can't release the files and memory it uses. "
     "Please restart the program after the termination."},
    {IDS_PRIORITY_CLASS_IDLE, "Idle"},
    {IDS_PRIORITY_CLASS_NORMAL, "Normal"},
    {IDS_PRIORITY_CLASS_HIGH, "High"},
    {IDS_PRIORITY_CLASS_REALTIME, "Realtime"},
    {IDS_PRIORITY_LOWEST, "Lowest"},
    {IDS_PRIORITY_LOW, "Low"},
    {IDS_PRIORITY_NORMAL, "Normal"},
    {IDS_PRIORITY_HIGH, "High"},
    {IDS_PRIORITY_HIGHEST, "Highest"},
    {IDP_CONFIRM_RESET_STATISTICS, "Are you sure you want to reset the statistics for the conversion performance?"},
    {IDS_YES, "Yes"},
    {IDS_NO, "No"},
    {IDS_STATS_SOURCE_FORMAT, "Source Format"},
    {IDS_STATS_DESTINATION_FORMAT, "Destination Format"},
    {IDS_STATS_PERFORMANCE, "Performance"},
    {IDS_STATS_QUALITY, "Quality"},
    {IDS_STATS_HIGH, "High"},
    {IDS_STATS_LOW, "Low"},
    {IDP_CONFIRM_CLOSE_RUNNING_PROJECT,
     "The conversion process is still running !\r\nAre you sure you want to abort the conversion and close the "
     "project ?"},
    {IDP_CONFIRM_EXIT_WHILE_RUNNING,
     "The conversion process is still running !\r\nAre you sure you want to abort the running conversions and "
     "exit the application ?"},
    {IDP_KEEP_FAILED_ITEMS,
     "Some of the project items couldn't be converted. Do you want to keep them and remove all others from the "
     "project, so you can retry the conversion only with the failed ones ?"},
    {IDS_COLUMN_FILENAME, "Filename"},
    {IDS_COLUMN_SIZE, "Size"},
    {IDS_COLUMN_LENGTH, "Length"},
    {IDP_NO_HELP_FILE, "No help file can be found on your system."},
    {IDP_SAVED_FORMAT_EXISTS, "A saved format with this name already exists. Do you want to overwrite it?"},
    {IDP_SAVED_FORMAT_UNAVAILABLE,
     "The file format/audio format for this selection is not longer available on your system. The selected "
     "entry will be deleted permanently."},

    {IDE_LIBRARIES_MISSING,
     "File Format Libraries missing|No file format libraries can be found in the executable's directory. At "
     "least one file format library has to be available for the program to be able to run.|Copy the file "
     "format libraries you need into the directory, in which the executable resides. At least the library for "
     "WAVE files (AUDFFWAV.so) must exist there."},
    {IDE_LIBRARY_INIT_FAILED,
     "Initialization failed|The file format library %s can't be loaded, or it doesn't provide all the functions "
     "it announces. The library will not be used.|Make sure that the file is a file format library for this "
     "version of the application and that the libraries it depends on are installed. Replace or remove the "
     "file if the problem persists."},
    {IDE_NO_LIBRARY_LOADED,
     "Fatal Initialization Error|None of the file format libraries in the executable's directory could be "
     "loaded. At least one file format library has to be available for the program to be able to run.|"
     "Reinstall the application or copy working file format libraries (AUDFF*.so) into the directory, in which "
     "the executable resides. At least the library for WAVE files (AUDFFWAV.so) must exist there."},
    {IDE_NO_INPUT_LIBRARY,
     "No Input Library|None of the loaded file format libraries is able to read audio files. At least one "
     "library for reading has to be available for the program to be able to run.|Copy a file format library "
     "that reads audio files into the directory, in which the executable resides, for example the library for "
     "WAVE files (AUDFFWAV.so)."},
    {IDE_NO_OUTPUT_LIBRARY,
     "No Output Library|None of the loaded file format libraries is able to write audio files. At least one "
     "library for writing has to be available for the program to be able to run.|Copy a file format library "
     "that writes audio files into the directory, in which the executable resides, for example the library for "
     "WAVE files (AUDFFWAV.so)."},
    {IDE_MAIN_WINDOW_CREATION,
     "Main Window Creation Failed|The main window of the application can't be created. The system may have run "
     "out of resources or memory.|Close other applications and start the program again. If the problem "
     "persists, please contact the author."},
    {IDE_INVALID_COMMAND_LINE,
     "Invalid Command Line|The command line of the application can't be carried out. Either the project file "
     "named on the command line doesn't exist, or it can't be opened as a conversion project.|Check the command "
     "line and the name of the project file, and start the program again."},
    {IDE_FILE_FORMAT_NOT_ADDED,
     "File Format Not Added|The file format library %s can't be added to the list of available file formats.|"
     "Close the dialog and open it again. If the problem persists, the system may have run out of memory; close "
     "other applications."},
    {IDE_FORMAT_TAG_NOT_ADDED,
     "Format Tag Not Added|The format tag %s can't be added to the list of available format tags.|Close the "
     "dialog and open it again. If the problem persists, the system may have run out of memory; close other "
     "applications."},
    {IDE_FORMAT_NOT_ADDED,
     "Format Not Added|The audio format %s can't be added to the list of available audio formats.|Close the "
     "dialog and open it again. If the problem persists, the system may have run out of memory; close other "
     "applications."},
    {IDE_MISSING_FILE_EXTENSION,
     "Missing File Extension|The audio file %s doesn't have a file extension. The application chooses the file "
     "format library for an audio file by the extension of its name.|Rename the file with the extension of its "
     "file format (for example \".wav\") and add it again."},
    {IDE_INVALID_FILE_EXTENSION,
     "Invalid File Extension|The application doesn't support the file extension of the audio file %s. Either "
     "the audio file doesn't have a correct extension, or the file format library supporting this extension is "
     "not installed.|Validate the extension of the file or install a file format library for it if one is "
     "available."},
    {IDE_OPEN_FILE_FAILURE,
     "Open File Failure|The audio file %s can't be opened by its file format library. The file may be missing, "
     "protected or in use by another application. The message of the library is shown below.|Check that the "
     "file exists, that you may read it and that no other application is using it, then add it again."},
    {IDE_GET_FORMAT_FAILURE,
     "Get Format Failure|The audio format of the file %s can't be read by its file format library. The file may "
     "be damaged or not be a valid file of its type. The message of the library is shown below.|Check the file "
     "with another application and add it again, or choose a different file."},
    {IDE_CLOSE_FILE_WARNING,
     "Close File Warning|The audio file %s can't be closed properly by its file format library. The file has "
     "been added to the project nevertheless. The message of the library is shown below.|Check the file before "
     "converting it. If the problem persists, restart the application."},
    {IDE_GET_FILE_SIZE_FAILURE,
     "Get File Size Failure|The size of the audio file %s can't be determined.|Check that the file exists and "
     "that you may read it, then add it again."},
    {IDE_AUDIO_FORMAT_NOT_AVAILABLE,
     "Audio Format Not Available|None of the installed audio codecs can handle the audio format of the file "
     "%s.|Convert the file into a supported audio format with another application, or choose a different "
     "file."},
    {IDE_FILE_LIST_CREATION,
     "File List Creation Failed|The list of project items can't be created in the project window. The system "
     "may have run out of resources or memory.|Close other windows and applications and open the project "
     "again."},
    {IDE_INFO_AREA_CREATION,
     "Info Area Creation Failed|The information area can't be created in the project window. The system may "
     "have run out of resources or memory.|Close other windows and applications and open the project again."},
    {IDE_SYSTEM_INFO_NOT_AVAILABLE,
     "System Info Not Available|The application can't read the system information it needs to arrange the "
     "project window.|Close other applications and open the project again. If the problem persists, please "
     "contact the author."},
    {IDE_SELECTION_BUFFER_ALLOCATION,
     "Selection Buffer Allocation Failure|The buffer for the names of the selected files can't be allocated. "
     "The system has run out of memory.|Close other applications, or reduce the size of the selection buffer in "
     "the settings, and try again."},
    {IDE_SELECTION_BUFFER_TOO_SMALL,
     "Selection Buffer Too Small|More files have been selected than the selection buffer can hold. No files "
     "have been added.|Select fewer files at a time, or increase the size of the selection buffer in the "
     "settings."},
    {IDE_INVALID_FILENAME,
     "Invalid Filename|One of the selected file names is invalid.|Check the names of the selected files and "
     "select them again."},
    {IDE_FILE_SELECTION_FAILURE,
     "File Selection Failure|The files can't be selected because of an unexpected error of the file selection "
     "dialog.|Try again. If the problem persists, restart the application."},
    {IDE_ITEM_CREATION_FAILED,
     "Item Creation Failed|An audio file can't be added to the list of project items. The system may have run "
     "out of resources or memory.|Close other applications and add the file again."},
    {IDE_CONVERSION_IMPOSSIBLE,
     "Conversion Impossible|The application can't find a way to convert from the audio format of the selected "
     "source file %s to the chosen destination format.|Choose a different destination format for the "
     "conversion or convert into a suitable PCM format before doing the final conversion."},
    {IDE_INVALID_DESTINATION_NAME,
     "Invalid Destination Name|The name chosen for the destination file is invalid.|Choose a valid file name "
     "for the destination file."},
    {IDE_DESTINATION_SELECTION_FAILURE,
     "Destination Selection Failure|The destination file can't be chosen because of an unexpected error of the "
     "file selection dialog.|Try again. If the problem persists, restart the application."},
    {IDE_PATH_SELECTION_FAILURE,
     "Path Selection Failure|The destination path can't be chosen because of an unexpected error of the folder "
     "selection dialog.|Try again, or choose the destination file of each item on its own."},
    {IDE_LAYOUT_RECALCULATION,
     "Layout Recalculation Failed|The controls of the project window can't be arranged for its new size.|Resize "
     "the window again, or close the project and open it again."},
    {IDE_CONVERSION_AREA_CREATION,
     "Conversion Area Creation Failed|The controls that show the progress of a conversion can't be created in "
     "the project window. The system may have run out of resources or memory.|Close other windows and "
     "applications and open the project again."},
    {IDE_ITEM_PLAYBACK_FAILED,
     "Item Playback Failed|The audio file of the selected item can't be played. The reason given by the audio "
     "output is shown below.|Check that an audio output device is available and not used exclusively by "
     "another application, then try again."},
    {IDE_ITEM_PLAYBACK_STOP_FAILED,
     "Item Playback Stop Failed|The playback of the selected item can't be stopped. The reason given by the "
     "audio output is shown below.|Wait until the playback has ended. If the problem persists, restart the "
     "application."},
    {IDE_PROJECT_SAVE_FAILED,
     "Project Save Failed|The project can't be saved. The file may be protected or in use, the disk may be full "
     "or the path may not exist.|Check the file name, the free disk space and your permissions for the folder, "
     "then save the project again."},
    {IDE_PROJECT_OPEN_FAILED,
     "Project Open Failed|The project file can't be opened. It may be missing, protected or in use by another "
     "application.|Check the file name and your permissions, then open the project again."},
    {IDE_PROJECT_FILE_CORRUPT,
     "Project File Corrupt|The file is not a valid conversion project, or it has been damaged.|Open a different "
     "project file, or create the project again."},
    {IDE_INVALID_PROJECT_ITEMS_OPEN,
     "Invalid Project Items|Not all items of the project could be rebuilt. Their audio files, file format "
     "libraries or audio formats may no longer be available; these items have been left out.|Check that the "
     "audio files of the missing items still exist and that the file format libraries they need are installed, "
     "then add them again."},
    {IDE_INVALID_PROJECT_ITEMS_PASTE,
     "Invalid Project Items|Not all pasted items could be rebuilt. Their audio files, file format libraries or "
     "audio formats may no longer be available; these items have been left out.|Check that the audio files of "
     "the missing items still exist and that the file format libraries they need are installed, then paste or "
     "add them again."},

    {IDL_SOURCE_OPEN, "Unable to open source audio file %s."},
    {IDL_SOURCE_CLOSE, "Unable to close source audio file %s."},
    {IDL_DESTINATION_OPEN, "Unable to create destination audio file %s."},
    {IDL_DESTINATION_CLOSE, "Unable to close destination audio file %s."},
    {IDL_PREPARE_READ, "Unable to start reading from source audio file %s."},
    {IDL_PREPARE_WRITE, "Unable to start writing to destination audio file %s."},
    {IDL_FORMAT_WRITE, "Destination format information cannot be written to %s."},
    {IDL_STREAM_OPEN, "Unable to open conversion streams for %s."},
    {IDL_STREAM_PREPARE, "Unable to prepare conversion streams for %s."},
    {IDL_AUDIO_READ, "Unable to read audio data from %s."},
    {IDL_CONVERSION, "Audio data of %s cannot be converted."},
    {IDL_AUDIO_WRITE, "Unable to write audio data to %s."},
    {IDL_FINALIZE_READ, "Unable to finalize read process from %s."},
    {IDL_FINALIZE_WRITE, "Unable to finalize write process to %s."},
    {IDL_STREAM_UNPREPARE, "Unable to unprepare conversion stream for %s."},

    {IDE_SOURCE_OPEN_FAILED,
     "Source File Open Failed|The source audio file %s can't be opened for the conversion. The file may have "
     "been moved or deleted, or another application may be using it.|Check that the file exists and that no "
     "other application is using it, then convert the item again."},
    {IDE_SOURCE_CLOSE_FAILED,
     "Source File Close Failed|The source audio file %s can't be closed after the conversion. The destination "
     "file has been written nevertheless.|Check the source file. If the problem persists, restart the "
     "application."},
    {IDE_DESTINATION_OPEN_FAILED,
     "Destination File Open Failed|The destination audio file %s can't be created. The folder may not exist, "
     "the disk may be full or protected, or another application or conversion may be using the file.|Check the "
     "destination path, the free disk space and your permissions, make sure that no other application uses the "
     "file, then convert the item again."},
    {IDE_DESTINATION_CLOSE_FAILED,
     "Destination File Close Failed|The destination audio file %s can't be completed and closed. The file is "
     "probably incomplete.|Check the free disk space, then convert the item again."},
    {IDE_PREPARE_READ_FAILED,
     "Prepare Read Failed|Reading the audio data of the source file %s can't be started. The file may be "
     "damaged.|Check the source file with another application, then convert the item again."},
    {IDE_PREPARE_WRITE_FAILED,
     "Prepare Write Failed|Writing the audio data to the destination file %s can't be started. The destination "
     "file is incomplete."},
    {IDE_FORMAT_WRITE_FAILED,
     "Format Write Failed|The destination audio format can't be written to the file %s. The destination file is "
     "incomplete."},
    {IDE_STREAM_OPEN_FAILED,
     "Conversion Stream Open Failed|The application was unable to open the conversion streams needed for the "
     "conversion of %s.\r\n\r\nReasons for this error are:\r\n1. The conversion is impossible, because the "
     "source and destination audio formats are incompatible.\r\n2. The conversion cannot be done in low "
     "quality.\r\n3. One of the installed audio codecs is erroneous.\r\n4. The system has run out of resources "
     "or memory.\r\n5. Another application is using audio compression at the moment and uses all available "
     "resources.|Check the possible reasons above and take appropriate action. If the problem persists, please "
     "contact the author."},
    {IDE_STREAM_PREPARE_FAILED,
     "Conversion Stream Prepare Failed|The conversion streams for %s can't be prepared for the buffers in use: "
     "a piece of audio data was refused even after padding.|Increase the conversion buffer in the settings, "
     "then convert the item again."},
    {IDE_AUDIO_READ_ERROR,
     "Audio Data Read Error|The audio data of the source file %s can't be read. The file may be damaged, or "
     "shorter than its header states."},
    {IDE_CONVERSION_FAILED,
     "Conversion Failed|The audio data of %s can't be converted by the installed audio codecs.|Choose a "
     "different destination format, or convert in high quality, then convert the item again. If the problem "
     "persists, please contact the author."},
    {IDE_AUDIO_WRITE_ERROR,
     "Audio Data Write Error|The converted audio data can't be written to the destination file %s. The disk "
     "may be full."},
    {IDE_FINALIZE_READ_FAILED,
     "Finalize Read Failed|Reading from the source file %s can't be ended properly. The conversion has been "
     "completed nevertheless."},
    {IDE_FINALIZE_WRITE_FAILED,
     "Finalize Write Failed|Writing to the destination file %s can't be ended properly. The destination file "
     "is probably incomplete.|Check the free disk space, then convert the item again."},
    {IDE_STREAM_UNPREPARE_FAILED,
     "Conversion Stream Unprepare Failed|A conversion stream used for %s can't release one of its data "
     "buffers. The conversion went on nevertheless."},
};

constexpr bool IsSortedByUniqueId()
{
    for (std::size_t i = 1; i < std::size(kStringTable); ++i) {
        if (kStringTable[i - 1].id >= kStringTable[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(IsSortedByUniqueId(), "the string table is kept sorted by id, each id once");

} // namespace

std::optional<std::string_view> FindResourceString(uint32_t id)
{
    const auto found = std::lower_bound(std::begin(kStringTable), std::end(kStringTable), id,
                                        [](const SStringEntry& entry, uint32_t key) { return entry.id < key; });
    if (found == std::end(kStringTable) || found->id != id) {
        return std::nullopt;
    }
    return found->text;
}

bool LoadResourceString(uint32_t id, std::string& text)
{
    const auto found = FindResourceString(id);
    if (!found) {
        return false;
    }
    text.assign(*found);
    return true;
}

std::string ResourceStringOr(uint32_t id, std::string_view fallback)
{
    return std::string(FindResourceString(id).value_or(fallback));
}
