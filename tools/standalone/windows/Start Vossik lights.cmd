@rem Starts the helper for TeamSpeak 5/6 on its own, from the folder of this file.
@start "" "%~dp0TS3_Vossik_Helper_win64.exe" --standalone
