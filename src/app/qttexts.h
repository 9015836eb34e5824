#pragma once
// Qt's own texts (standard buttons, file dialogs, print dialogs) in Russian, from the system's Qt
// translations; without them those texts stay English. Call once the application object exists.
void installRussianQtTexts();
