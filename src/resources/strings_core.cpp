#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kCoreStrings[] = {
    {IDS_NETSCAPE_HEADER,
     "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>%s's Bookmarks</Title>\r\n<H1>%s's Bookmarks</H1>\r\n<DL><p>\r\n"},
    {IDS_CAPTION, "Tolva " TOLVA_VERSION},
    {IDS_UNVERIFIED, "Unverified"},
    {IDS_MOSAIC_HEADER, "Hotlist\r\n%s\r\n{\r\n"},
    {IDS_ASK_BACKUP,
     "That bookmark file already exists.  Would you like\nTolva to make a backup copy before saving the\nnew URL set?"},
    {IDS_NO_SOURCE,
     "You have not selected an original URL set format or location.  Enter information for both URL sets then "
     "proceed."},
    {IDS_NO_DESTINATION,
     "You have not selected a format or location for the new URL set.  Enter information for both URL sets then "
     "proceed."},
    {IDS_SET_NOT_FOUND, "The URL set %s could not be found or opened.\nCheck the file name and try again."},
    {IDS_SET_EXISTS,
     "The URL set %s already exists.\nTolva was expecting to create this set itself.\nChoose a different set name "
     "or, if you really do want to replace this set, delete it then try again."},
    {IDS_ASK_CREATE_FOLDER, "The folder %s\ndoes not exist.  Would you like to create it?"},
    {IDS_ASK_USE_FOLDER,
     "The shortcut folder %s already exists.\nFavorites already saved there may be changed when Tolva \nsaves its "
     "results.  Do you want use this folder anyway?"},
    {IDS_RECENT_TRANSLATE_BASE + 0, "Software\\Hollin\\Tolva\\Convert\\RecentMosaic"},
    {IDS_RECENT_TRANSLATE_BASE + 1, "Software\\Hollin\\Tolva\\Convert\\RecentNetNav"},
    {IDS_RECENT_TRANSLATE_BASE + 2, "Software\\Hollin\\Tolva\\Convert\\RecentFavorites"},
    {IDS_RECENT_VERIFY_BASE + 0, "Software\\Hollin\\Tolva\\Verify\\RecentMosaic"},
    {IDS_RECENT_VERIFY_BASE + 1, "Software\\Hollin\\Tolva\\Verify\\RecentNetNav"},
    {IDS_RECENT_VERIFY_BASE + 2, "Software\\Hollin\\Tolva\\Verify\\RecentFavorites"},

    {IDS_MSG_CAPTION_RUN, "Tolva"},
    {IDS_ERR_NETSCAPE_HEADER, "Error %d writing Netscape header"},
    {IDS_ERR_NETSCAPE_LINE, "Error %d writing Netscape line"},
    {IDS_ERR_NETSCAPE_FOOTER, "Error %d writing Netscape footer"},
    {IDS_ERR_MOSAIC_HEADER, "Error %d writing Mosaic header"},
    {IDS_ERR_MOSAIC_LINE, "Error %d writing Mosaic line"},
    {IDS_ERR_CREATING_FOLDER, "Error %d creating folder %s"},
    {IDS_STATUS_READING_LINE, "Reading line %d"},
    {IDS_STATUS_LOADING_ITEM, "Loading item %d"},
    {IDS_STATUS_SAVING_ITEM, "Saving item %d"},
    {IDS_STATUS_NETSCAPE_LOADED, "Netscape file loaded."},
    {IDS_STATUS_MOSAIC_LOADED, "Mosaic file loaded."},
    {IDS_STATUS_SHORTCUTS_LOADED, "Shortcut set loaded."},
    {IDS_STATUS_NOW_READING, "Now reading the URL set."},
    {IDS_STATUS_NOW_CONVERTING, "Now converting the URL set."},
    {IDS_STATUS_NOW_SAVING, "Now saving the destination URL set."},
    {IDS_STATUS_CONVERTED, "URL set converted."},
    {IDS_STATUS_CONVERTED_COUNTS, "%s\n%d links and %d folders written; %d names adapted."},
    {IDS_STATUS_UNABLE_TO_READ, "Unable to read that URL set."},
    {IDS_STATUS_UNABLE_TO_CREATE, "Unable to create the destination URL set."},
    {IDS_STATUS_UNABLE_TO_SAVE, "Unable to save the destination URL set."},
    {IDS_MSG_UNABLE_TO_OPEN_SOURCE, "Convert was unable to open the source URL set."},
    {IDS_MSG_UNABLE_TO_READ_SOURCE, "Convert was unable to read the source URL set."},
    {IDS_MSG_UNABLE_TO_OPEN_DESTINATION, "Convert was unable to open the destination URL set."},
    {IDS_MSG_UNABLE_TO_SAVE_DESTINATION, "Convert was unable to save the destination URL set."},
    {IDS_CONVERTING_LINK, "Converting link %d of %d"},
    {IDS_ERR_READING_FILE, "Error %d reading %s"},
    {IDS_ERR_WRITING_SHORTCUT, "Error %d writing shortcut %s"},
    {IDS_ERR_SAVING_FILE, "Error %d saving %s"},
    {IDS_ERR_KEEPING_BACKUP, "Error %d making the backup copy %s"},
    {IDS_STATUS_TRANSLATION_CANCELED, "Translation canceled.  Nothing was changed."},
    {IDS_STATUS_TRANSLATION_STOPPED, "Translation stopped.  Nothing was changed."},
    {IDS_STATUS_TRANSLATION_STOPPED_PART,
     "Translation stopped.  The destination folder holds what was written before the stop; every file in it is "
     "whole."},
    {IDS_SET_NOT_PERMITTED,
     "The URL set %s could not be opened: you do not have permission to read it.\nAsk for permission or use a copy "
     "you can read, then try again."},
    {IDS_SET_IS_FOLDER,
     "%s is a folder, but a URL set in this format is one file.\nChoose the file itself, or the format of a "
     "shortcut folder, then try again."},
    {IDS_SET_FOLDER_IN_THE_WAY,
     "%s is a folder, and a URL set in this format is one file.\nAdd a file name to the folder's, or choose the "
     "format of a shortcut folder, then try again."},
    {IDS_SET_IS_FILE,
     "%s is a file, but a URL set in this format is a folder.\nChoose the folder, or the format the file is in, "
     "then try again."},
    {IDS_SET_FOLDER_READ_ONLY,
     "The URL set %s could not be created: nothing can be written in the folder %s (it is read-only, or you do not "
     "have permission to write there).\nChoose another folder then try again."},
    {IDS_SET_FOLDER_MISSING,
     "The URL set %s could not be created: the folder %s does not exist.\nCreate the folder or choose another one "
     "then try again."},
    {IDS_ERR_CREATING_FILE, "Error %d creating %s"},
    {IDS_SET_NOT_SAVED_READ_ONLY,
     "The URL set %s is read-only, so it cannot be saved where it is.\nAsk for permission to change it, or verify a "
     "copy instead."},
    {IDS_SET_NOT_SAVED_FOLDER,
     "The URL set %s cannot be saved where it is: nothing can be written in the folder %s (it is read-only, or you "
     "do not have permission to write there).\nVerify saves the set through a new file beside it.  Copy the set to "
     "a folder you can write in, then verify the copy."},
    {IDS_SHORTCUTS_NOT_SAVED_FOLDER,
     "The URL set %s cannot be saved where it is: nothing can be written in that folder (it is read-only, or you "
     "do not have permission to write there).\nVerify saves each shortcut through a new file beside it.  Copy the "
     "folder to a place you can write in, then verify the copy."},
    {IDS_SHORTCUT_FOLDER_READ_ONLY,
     "The shortcut %s could not be written: nothing can be written in the folder %s (it is read-only, or you do "
     "not have permission to write there)."},
    {IDS_SET_OTHER_FORMAT,
     "The file %s holds %s, not %s.\nChoose that format for it then try again."},
    {IDS_SET_NOT_BOOKMARKS,
     "The file %s is not a bookmark file: nothing in it reads as %s.\nCheck the file name and format then try "
     "again."},
};

}  // namespace

std::span<const StringEntry> CoreStrings() { return kCoreStrings; }

}  // namespace tolva
