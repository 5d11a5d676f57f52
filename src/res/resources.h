// The program's resources: the application icon (128, in resources.qrc)
// and the tray's popup menu (310).
#pragma once

// Names the application icon to the framework and registers the menu
// resources with the platform; called once at start-up.
void RegisterResources();
