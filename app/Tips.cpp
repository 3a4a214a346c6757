#include "app/Tips.h"

namespace quil {
namespace {

constexpr std::array<std::string_view, TipCount> kTips = {
    "The Tip of the Day dialog box is normally displayed when you start Quillet but are not "
    "automatically opening a Zip file. You can change this option so tips are never displayed, "
    "or always displayed when Quillet is started.",
    "If you turn the Tip of the Day off and later want to restore it, select \"Tip of the "
    "Day\" from the Quillet Help pull-down menu, then select from the combo box at the bottom "
    "of the dialog box.",
    "Quillet's toolbar buttons look much better if your display is in high-color mode. ",
    "For a Brief Tutorial on Quillet, select \"Brief Tutorial\" from the Quillet Help "
    "pull-down menu.",
    "Quillet completely supports the ZIP format and both internet file formats: XXE and UUE. "
    "It can also read and extract from the following: RAR, ARJ, LHA, CAB, ARC, ACE, ZOO, GZIP "
    "and TAR.",
    "For quick zipping and unzipping, you can right-click on a file listed in Explorer and "
    "choose \"Compress to Zip + options\" or \"Extract to...\" from Explorer's context menu.",
    "You can unzip all the files from a Zip without leaving Explorer. Right click on the Zip "
    "file and select \"Extract to...\" from the pop-up menu.",
    "You can create Zip files in the Explorer: right click in the Contents pane, then select "
    "\"New\" and \"Quillet File\".  An empty Zip file will be created in the current folder.",
    "You can directly add selected files to a Zip while in Explorer with complete control of "
    "options. Right click on any file (or highlighted group of files) and select \"Compress to "
    "Zip + options.\" from the pop-up menu",
    "For answers to Frequently Asked Questions (FAQ), select Frequently Asked Questions from "
    "the Quillet Help pull-down menu.",
    "To display details about the open Zip file (for example, the date the Zip file was last "
    "modified or the name of the folder containing the Zip file), click on the Quillet status "
    "line or select \"Properties\" from the Quillet file menu.",
    "You can interrupt an archive operation by clicking anywhere in the Quillet window. This "
    "will activate the \"Operation Interrupted\" dialog box.",
    "You can quickly extract files from a Zip file by dragging the files from Quillet to any "
    "folder or Explorer window (or even to the desktop).",
    "You can quickly add files to a Zip file by dragging the files from any folder or Explorer "
    "window to Quillet.",
    "Quillet supports Zip files that span multiple disks, so you can store a single file on "
    "more than one diskette.",
    "If you need to send files to a user who may not have an unzip utility, try \"Quillet's "
    "Self-Extractor\". The self-extractor makes files that unzip themselves. First create a "
    "zip file, then select \"Make .EXE\" from the Actions menu.",
    "You can open files with a single click like Active Desktop by choosing \"As a Web Page\" "
    "from the View menu.",
    "Add a reminder of the contents of your ZIP file to the file itself (like a Postit Note). "
    "Select \"Comments\" from the Actions menu.",
    "If you have lots of files in a ZIP it might be easier to find the one(s) you want by "
    "listing them in a different order.  Click on the labels at the top of the column to "
    "arrange the contents by that category or choose Arrange Icons under the View menu.",
    "Quickly select similar files using \"Find File(s)\" under the Edit menu.",
    "If you can't remember where you put your Zip files, you can use the Favorite Zip Folders "
    "feature to find them. Select \"Favorite Zip Folders\" from the Quillet File menu.",
    "If you usually use the same folder when opening, extracting or adding files, specify "
    "those folders in the Folder tab in the Options -> Configuration dialog box.",
    "Columns can be arranged in any order you prefer. Just drag the column you want to move "
    "and drop it where you like.",
    "Zip files opened with Quillet are added to Start menus's Document list. To quickly open "
    "Zips that you have recently worked with, select \"Documents\" from the Start menu.",
    "You can easly print a list of files in Zip by selecting \"Print file listing\" and "
    "\"...to Printer\" from the File menu.",
    "Test the integrity of ZIP archives once you have created them to ensure that the data is "
    "correctly stored and that errors will not occur on extraction. Choose \"Test\" under the "
    "Actions menu.",
};

}  // namespace

std::string_view TipText(int n) { return kTips[(n >= 1 && n <= TipCount) ? n - 1 : 0]; }

}  // namespace quil
