#pragma once

// Brings the autostart entry into line with the stored choice ("check" in data.ini): written on every start.
void syncAutostart();
