// Makes freeglut's pop-up menus pick the entry under the pointer on a button
// release and draw themselves when they open (menu_workaround.cpp says why).
#pragma once

// Called by the menu status callback when a menu opens.
void onMenuOpened();
