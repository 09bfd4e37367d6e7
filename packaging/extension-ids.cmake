# The extensions that may talk to the host: the defaults of two cache
# variables, so a build for other extensions overrides them on the command line
# (-DVLX_CHROMIUM_EXTENSION_IDS=id1;id2 -DVLX_FIREFOX_EXTENSION_IDS=a@b).
#
# Chrome, Edge and Chromium: extension ids (32 letters a to p); the manifest
# lists each as the origin chrome-extension://<id>/.
set(VLX_CHROMIUM_EXTENSION_IDS "njgmmcejojeicglfeekeomlglapghamo" CACHE STRING
    "Ids of the Chrome, Edge and Chromium extensions allowed to start the host (a list)")
# Firefox: add-on ids, as the add-on's manifest declares them.
set(VLX_FIREFOX_EXTENSION_IDS "browser-host@vellumix.com" CACHE STRING
    "Ids of the Firefox add-ons allowed to start the host (a list)")
