<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Swedish texts for the strings of Qt itself that the client shows: the colour chooser,
     standard buttons, context menus of text fields and spin boxes, socket errors. Debian's
     Qt 6 ships no Swedish catalogue for these (qt_sv.qm holds older contexts only).
     Contexts and source texts are Qt's own; compiled by lrelease at build time. -->
<TS version="2.1" language="sv_SE">
<context>
    <name>QColorDialog</name>
    <message>
        <source>Select Color</source>
        <translation>Välj färg</translation>
    </message>
    <message>
        <source>Hu&amp;e:</source>
        <translation>&amp;Nyans:</translation>
    </message>
    <message>
        <source>&amp;Sat:</source>
        <translation>&amp;Mättnad:</translation>
    </message>
    <message>
        <source>&amp;Val:</source>
        <translation>&amp;Ljushet:</translation>
    </message>
    <message>
        <source>&amp;Red:</source>
        <translation>&amp;Röd:</translation>
    </message>
    <message>
        <source>&amp;Green:</source>
        <translation>&amp;Grön:</translation>
    </message>
    <message>
        <source>Bl&amp;ue:</source>
        <translation>&amp;Blå:</translation>
    </message>
    <message>
        <source>A&amp;lpha channel:</source>
        <translation>&amp;Alfakanal:</translation>
    </message>
    <message>
        <source>&amp;HTML:</source>
        <translation>&amp;Färgkod:</translation>
    </message>
    <message>
        <source>&amp;Basic colors</source>
        <translation>Gr&amp;undfärger</translation>
    </message>
    <message>
        <source>&amp;Custom colors</source>
        <translation>&amp;Egna färger</translation>
    </message>
    <message>
        <source>&amp;Add to Custom Colors</source>
        <translation>Lägg &amp;till bland egna färger</translation>
    </message>
    <message>
        <source>&amp;Pick Screen Color</source>
        <translation>&amp;Hämta färg från skärmen</translation>
    </message>
    <message>
        <source>Cursor at %1, %2
Press ESC to cancel</source>
        <translation>Markören vid %1, %2
Tryck Esc för att avbryta</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Spara</translation>
    </message>
    <message>
        <source>Save All</source>
        <translation>Spara alla</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öppna</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>Yes to &amp;All</source>
        <translation>Ja till &amp;alla</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nej</translation>
    </message>
    <message>
        <source>N&amp;o to All</source>
        <translation>N&amp;ej till alla</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Avbryt</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Försök igen</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorera</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Stäng</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Avbryt</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Kasta</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hjälp</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Verkställ</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Återställ</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Återställ standardvärden</translation>
    </message>
</context>
<context>
    <name>QGnomeTheme</name>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Spara</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Avbryt</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Stäng</translation>
    </message>
    <message>
        <source>Close without Saving</source>
        <translation>Stäng utan att spara</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <source>Show Details...</source>
        <translation>Visa detaljer...</translation>
    </message>
    <message>
        <source>Hide Details...</source>
        <translation>Dölj detaljer...</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Ångra</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Gör om</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>Klipp &amp;ut</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopiera</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>K&amp;listra in</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Ta bort</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Markera allt</translation>
    </message>
</context>
<context>
    <name>QWidgetTextControl</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Ångra</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Gör om</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>Klipp &amp;ut</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopiera</translation>
    </message>
    <message>
        <source>Copy &amp;Link Location</source>
        <translation>Kopiera &amp;länkadress</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>K&amp;listra in</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Ta bort</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Markera allt</translation>
    </message>
</context>
<context>
    <name>QAbstractSpinBox</name>
    <message>
        <source>&amp;Select All</source>
        <translation>&amp;Markera allt</translation>
    </message>
    <message>
        <source>&amp;Step up</source>
        <translation>Steg &amp;upp</translation>
    </message>
    <message>
        <source>Step &amp;down</source>
        <translation>Steg &amp;ned</translation>
    </message>
</context>
<context>
    <name>QTabBar</name>
    <message>
        <source>Scroll Left</source>
        <translation>Rulla åt vänster</translation>
    </message>
    <message>
        <source>Scroll Right</source>
        <translation>Rulla åt höger</translation>
    </message>
</context>
<context>
    <name>QShortcut</name>
    <message>
        <source>Shift</source>
        <translation>Skift</translation>
    </message>
</context>
<context>
    <name>QIODevice</name>
    <message>
        <source>Unknown error</source>
        <translation>Okänt fel</translation>
    </message>
</context>
<context>
    <name>QHostInfoAgent</name>
    <message>
        <source>Host not found</source>
        <translation>Värddatorn hittades inte</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Okänt fel</translation>
    </message>
</context>
<context>
    <name>QAbstractSocket</name>
    <message>
        <source>Host not found</source>
        <translation>Värddatorn hittades inte</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>Anslutningen nekades</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>Tidsgränsen för anslutningen överskreds</translation>
    </message>
    <message>
        <source>Socket operation timed out</source>
        <translation>Tidsgränsen för socketåtgärden överskreds</translation>
    </message>
    <message>
        <source>Operation on socket is not supported</source>
        <translation>Åtgärden stöds inte av socketen</translation>
    </message>
    <message>
        <source>Socket is not connected</source>
        <translation>Socketen är inte ansluten</translation>
    </message>
</context>
<context>
    <name>QNativeSocketEngine</name>
    <message>
        <source>Unable to initialize non-blocking socket</source>
        <translation>Kan inte förbereda en icke-blockerande socket</translation>
    </message>
    <message>
        <source>Unable to initialize broadcast socket</source>
        <translation>Kan inte förbereda en socket för rundsändning</translation>
    </message>
    <message>
        <source>Attempt to use IPv6 socket on a platform with no IPv6 support</source>
        <translation>Försök att använda en IPv6-socket på en plattform utan IPv6</translation>
    </message>
    <message>
        <source>The remote host closed the connection</source>
        <translation>Fjärrdatorn stängde anslutningen</translation>
    </message>
    <message>
        <source>Network operation timed out</source>
        <translation>Tidsgränsen för nätverksåtgärden överskreds</translation>
    </message>
    <message>
        <source>Out of resources</source>
        <translation>Resurserna är slut</translation>
    </message>
    <message>
        <source>Unsupported socket operation</source>
        <translation>Socketåtgärden stöds inte</translation>
    </message>
    <message>
        <source>Protocol type not supported</source>
        <translation>Protokolltypen stöds inte</translation>
    </message>
    <message>
        <source>Invalid socket descriptor</source>
        <translation>Ogiltig socketbeskrivare</translation>
    </message>
    <message>
        <source>Host unreachable</source>
        <translation>Värddatorn kan inte nås</translation>
    </message>
    <message>
        <source>Network unreachable</source>
        <translation>Nätverket kan inte nås</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Åtkomst nekad</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>Tidsgränsen för anslutningen överskreds</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>Anslutningen nekades</translation>
    </message>
    <message>
        <source>The bound address is already in use</source>
        <translation>Den bundna adressen används redan</translation>
    </message>
    <message>
        <source>The address is not available</source>
        <translation>Adressen är inte tillgänglig</translation>
    </message>
    <message>
        <source>The address is protected</source>
        <translation>Adressen är skyddad</translation>
    </message>
    <message>
        <source>Datagram was too large to send</source>
        <translation>Datagrammet var för stort för att skickas</translation>
    </message>
    <message>
        <source>Unable to send a message</source>
        <translation>Kan inte skicka ett meddelande</translation>
    </message>
    <message>
        <source>Unable to receive a message</source>
        <translation>Kan inte ta emot ett meddelande</translation>
    </message>
    <message>
        <source>Unable to write</source>
        <translation>Kan inte skriva</translation>
    </message>
    <message>
        <source>Network error</source>
        <translation>Nätverksfel</translation>
    </message>
    <message>
        <source>Another socket is already listening on the same port</source>
        <translation>En annan socket lyssnar redan på samma port</translation>
    </message>
    <message>
        <source>Operation on non-socket</source>
        <translation>Åtgärd på något som inte är en socket</translation>
    </message>
    <message>
        <source>The proxy type is invalid for this operation</source>
        <translation>Proxytypen är ogiltig för denna åtgärd</translation>
    </message>
    <message>
        <source>Temporary error</source>
        <translation>Tillfälligt fel</translation>
    </message>
    <message>
        <source>Network dropped connection on reset</source>
        <translation>Nätverket tappade anslutningen vid återställning</translation>
    </message>
    <message>
        <source>Connection reset by peer</source>
        <translation>Anslutningen återställdes av motparten</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Okänt fel</translation>
    </message>
</context>
</TS>
