#include "app/CommandLineInfo.h"

#include "ZelkBuildInfo.h"

#include <cstdio>
#include <string_view>

namespace zelk {

std::string clientVersionText()
{
    return std::string(ZELK_PRODUCT_NAME) + ' ' + ZELK_PRODUCT_VERSION + '\n';
}

std::string clientHelpText()
{
    return std::string("Användning: ZELK_WCallClient [NAMN=värde ...]\n"
                       "\n")
           + ZELK_PRODUCT_NAME
           + " kallar resurser med fotpedalen (Alt+F12) och visar sin anropslista.\n"
             "Programmet körs i sin programmapp: där ligger tangentbordsbiblioteket\n"
             "libKV_HookKeyboard.so och bakgrundsbilderna, och mappen ingår i\n"
             "inställningarnas nyckel.\n"
             "\n"
             "Parametrar (namnen skiftlägesokänsliga):\n"
             "  NAME=namn          klientens namn\n"
             "  PLACE=plats        arbetsplatsens visningsnamn\n"
             "  COLOR=tal          arbetsplatsens färg (Windows-färgvärde, decimalt)\n"
             "  AUTOREGISTER=1     spara NAME som klientnamn och registrera klienten\n"
             "  CALLLIST=lista     resurser som klienten kallar\n"
             "  SERVERNAME=värd    signalservern (sparas i inställningarna)\n"
             "  SERVERPORT=port    signalserverns port (sparas i inställningarna)\n"
             "  RESTARTING=1       starta även när en klient redan körs (efter uppdatering)\n"
             "  --help             visa denna text\n"
             "  --version          visa versionen\n"
             "\n"
             "Miljövariabler:\n"
             "  ZELK_RENDERER      \"software\" eller \"hardware\": namnsnurrans ritsätt\n"
             "                     (utan värde: Hardware bara med hårdvaru-OpenGL)\n"
             "  ZELK_REGISTRY_DIR  mapp för båda inställningsfilerna i stället för\n"
             "                     $XDG_CONFIG_HOME/Kestrova och /etc/xdg/Kestrova\n"
             "  XDG_CONFIG_HOME, XDG_CONFIG_DIRS  användarens och datorns inställningsmappar\n"
             "  XDG_DATA_HOME      datamappen (hämtade nya versioner)\n"
             "  XDG_RUNTIME_DIR, XDG_SESSION_ID, DISPLAY, WAYLAND_DISPLAY\n"
             "                     en klient per skrivbordssession\n"
             "  XDG_SESSION_TYPE   \"wayland\": ingen global pedal\n"
             "  SSH_CONNECTION, SSH_CLIENT, XRDP_SESSION, X2GO_SESSION, X2GO_CLIENT, CLIENTNAME\n"
             "                     fjärrsession och klientdatorns namn\n"
             "  QT_QPA_PLATFORM    Qt:s fönstersystem (t.ex. xcb, offscreen)\n";
}

std::optional<int> answerInfoOptions(int argc, const char *const argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i] ? argv[i] : "";
        std::string text;
        if (argument == "--help" || argument == "-h" || argument == "-?")
            text = clientHelpText();
        else if (argument == "--version")
            text = clientVersionText();
        else
            continue;
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return 0;
    }
    return std::nullopt;
}

} // namespace zelk
