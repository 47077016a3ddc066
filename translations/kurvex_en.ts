<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>AboutHelp</name>
    <message>
        <source>Kurvex von Velmorin
Version {0}
Kompiliert am {1}</source>
        <translation>Kurvex by Velmorin
Version {0}
Built on {1}</translation>
    </message>
    <message>
        <source>Über Kurvex</source>
        <translation>About Kurvex</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht gefunden werden!</source>
        <translation>The file &quot;{0}&quot; cannot be found!</translation>
    </message>
    <message>
        <source>Es wurde kein Programm gefunden, das die Hilfe anzeigen kann. Die Hilfedatei liegt unter &quot;{0}&quot;.</source>
        <translation>No program was found that can show the help. The help file is at &quot;{0}&quot;.</translation>
    </message>
    <message>
        <source>Die Adresse &quot;{0}&quot; kann nicht geöffnet werden!</source>
        <translation>The address &quot;{0}&quot; cannot be opened!</translation>
    </message>
</context>
<context>
    <name>CaptureWindow</name>
    <message>
        <source>&amp;Wiederherstellen</source>
        <translation>&amp;Restore</translation>
    </message>
    <message>
        <source>Ma&amp;ximieren</source>
        <translation>Ma&amp;ximize</translation>
    </message>
    <message>
        <source>&amp;Schließen</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>Cursor anzeigen</source>
        <translation>Show cursors</translation>
    </message>
    <message>
        <source>Cursor 1</source>
        <translation>Cursor 1</translation>
    </message>
    <message>
        <source>Cursor 2</source>
        <translation>Cursor 2</translation>
    </message>
    <message>
        <source>Cursor 1 - Cursor 2</source>
        <translation>Cursor 1 - Cursor 2</translation>
    </message>
    <message>
        <source>Alles auswählen</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>Messung...</source>
        <translation>Measure...</translation>
    </message>
    <message>
        <source>Mathematik...</source>
        <translation>Math...</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Zoom: {0Sd5}s/DIV</source>
        <translation>Zoom: {0Sd5}s/DIV</translation>
    </message>
    <message>
        <source>Math: {0Sd5}V/DIV</source>
        <translation>Math: {0Sd5}V/DIV</translation>
    </message>
    <message>
        <source> (unvollständig)</source>
        <translation> (incomplete)</translation>
    </message>
</context>
<context>
    <name>DecodeDialog</name>
    <message>
        <source>Dekodieren</source>
        <translation>Decode</translation>
    </message>
    <message>
        <source>Name oder Beschreibung</source>
        <translation>Name or description</translation>
    </message>
    <message>
        <source>&amp;Suchen:</source>
        <translation>&amp;Search:</translation>
    </message>
    <message>
        <source>&amp;Aufsetzen:</source>
        <translation>&amp;Stack on:</translation>
    </message>
    <message>
        <source>&amp;Hinzufügen</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Entfernen</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>Schwellen</source>
        <translation>Thresholds</translation>
    </message>
    <message>
        <source>Kanal</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Schwelle</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>Hysterese</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>automatisch: %1</source>
        <translation>automatic: %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>keiner</source>
        <translation>none</translation>
    </message>
    <message>
        <source>%1 (nötig):</source>
        <translation>%1 (required):</translation>
    </message>
    <message>
        <source>Keine Optionen</source>
        <translation>No options</translation>
    </message>
    <message>
        <source>Die Schwelle von %1 ist keine Zahl.</source>
        <translation>The threshold of %1 is not a number.</translation>
    </message>
    <message>
        <source>Die Hysterese von %1 ist keine Zahl ab 0.</source>
        <translation>The hysteresis of %1 is not a number from 0 up.</translation>
    </message>
    <message>
        <source>Bitte einen Dekoder wählen.</source>
        <translation>Please choose a decoder.</translation>
    </message>
</context>
<context>
    <name>DecodedWindow</name>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Dekoder</source>
        <translation>Decoder</translation>
    </message>
    <message>
        <source>Zeile</source>
        <translation>Row</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Dekodiert - %1</source>
        <translation>Decoded - %1</translation>
    </message>
    <message>
        <source>&amp;Kopieren</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>&amp;Exportieren...</source>
        <translation>&amp;Export...</translation>
    </message>
    <message>
        <source>Dekodiere...</source>
        <translation>Decoding...</translation>
    </message>
    <message>
        <source>Dekodiere... %1 %</source>
        <translation>Decoding... %1 %</translation>
    </message>
    <message numerus="yes">
        <source>%n Annotation(en)</source>
        <translation><numerusform>%n annotation</numerusform><numerusform>%n annotations</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Abgebrochen: %n Annotation(en)</source>
        <translation><numerusform>Cancelled: %n annotation</numerusform><numerusform>Cancelled: %n annotations</numerusform></translation>
    </message>
    <message>
        <source>Fehler: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>Dekodieren fehlgeschlagen</source>
        <translation>Decoding failed</translation>
    </message>
    <message>
        <source>CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*</source>
        <translation>CSV files (*.csv)|*.csv|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Die Datei &quot;%1&quot; kann nicht erstellt werden!</source>
        <translation>The file &quot;%1&quot; cannot be created!</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>Deutsch</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
</context>
<context>
    <name>LoadMessages</name>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht geöffnet werden!</source>
        <translation>Cannot open the file &quot;{0}&quot;.</translation>
    </message>
    <message>
        <source>Datei &quot;{0}&quot;: Unbekanntes Format!</source>
        <translation>File &quot;{0}&quot;: unknown format.</translation>
    </message>
    <message>
        <source>Datei &quot;{0}&quot;: Speicher für Kanal-Daten konnte nicht reserviert werden!</source>
        <translation>File &quot;{0}&quot;: not enough memory for the channel data.</translation>
    </message>
    <message>
        <source>Datei &quot;{0}&quot;: Unzulässige Werte gefunden!</source>
        <translation>File &quot;{0}&quot;: invalid values found.</translation>
    </message>
</context>
<context>
    <name>MainFrame</name>
    <message>
        <source>&amp;Spitzenwerte</source>
        <translation>&amp;Peak values</translation>
    </message>
    <message>
        <source>&amp;Effektivwerte</source>
        <translation>&amp;RMS values</translation>
    </message>
    <message>
        <source>&amp;Mittelwerte</source>
        <translation>&amp;Mean values</translation>
    </message>
    <message>
        <source>&amp;Öffnen...	Strg+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>&amp;Drucken...	Strg+P</source>
        <translation>&amp;Print...	Ctrl+P</translation>
    </message>
    <message>
        <source>&amp;Datei...	Strg+F</source>
        <translation>&amp;File...	Ctrl+F</translation>
    </message>
    <message>
        <source>&amp;Zwischenablage	Strg+C</source>
        <translation>&amp;Clipboard	Ctrl+C</translation>
    </message>
    <message>
        <source>Export als &amp;CSV-Datei...	Strg+E</source>
        <translation>Export as &amp;CSV file...	Ctrl+E</translation>
    </message>
    <message>
        <source>Export als &amp;LTspice-RAW-Datei...	Strg+L</source>
        <translation>Export as &amp;LTspice RAW file...	Ctrl+L</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Über Kurvex...</source>
        <translation>&amp;About Kurvex...</translation>
    </message>
    <message>
        <source>&amp;Website öffnen...</source>
        <translation>Open &amp;website...</translation>
    </message>
    <message>
        <source>&amp;Hilfe...	F1</source>
        <translation>&amp;Help...	F1</translation>
    </message>
    <message>
        <source>&amp;Nebeneinander</source>
        <translation>&amp;Side by side</translation>
    </message>
    <message>
        <source>&amp;Übereinander</source>
        <translation>&amp;One above the other</translation>
    </message>
    <message>
        <source>&amp;Kaskadieren</source>
        <translation>&amp;Cascade</translation>
    </message>
    <message>
        <source>&amp;Alle schließen</source>
        <translation>Close &amp;all</translation>
    </message>
    <message>
        <source>Fenster schließen</source>
        <translation>Close window</translation>
    </message>
    <message>
        <source>&amp;Messungen...	Strg+M</source>
        <translation>&amp;Measurements...	Ctrl+M</translation>
    </message>
    <message>
        <source>&amp;Spektrum...	Strg+K</source>
        <translation>&amp;Spectrum...	Ctrl+K</translation>
    </message>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Export als Bild</source>
        <translation>&amp;Export as picture</translation>
    </message>
    <message>
        <source>&amp;Analyse</source>
        <translation>&amp;Analysis</translation>
    </message>
    <message>
        <source>&amp;Fenster</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>&amp;?</source>
        <translation>&amp;?</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht erstellt werden!</source>
        <translation>The file &quot;{0}&quot; cannot be created!</translation>
    </message>
    <message>
        <source>PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*</source>
        <translation>PNG files (*.png)|*.png|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>CSV-Dateien (*.csv)|*.csv|Alle Dateien (*.*)|*.*</source>
        <translation>CSV files (*.csv)|*.csv|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>LTspice-RAW-Dateien (*.raw)|*.raw|Alle Dateien (*.*)|*.*</source>
        <translation>LTspice RAW files (*.raw)|*.raw|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>UTD2052CEL, UTD2102CEL (*.sav)|*.sav|Alle Dateien (*.*)|*.*</source>
        <translation>UTD2052CEL, UTD2102CEL (*.sav)|*.sav|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>Warnung</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Export als &amp;sigrok-Sitzung...</source>
        <translation>Export as &amp;sigrok session...</translation>
    </message>
    <message>
        <source>sigrok-Sitzungen (*.sr)|*.sr|Alle Dateien (*.*)|*.*</source>
        <translation>sigrok sessions (*.sr)|*.sr|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>&amp;Dekodieren...	Strg+D</source>
        <translation>&amp;Decode...	Ctrl+D</translation>
    </message>
</context>
<context>
    <name>MathChannel</name>
    <message>
        <source>Offset: {0} DIV</source>
        <translation>Offset: {0} DIV</translation>
    </message>
</context>
<context>
    <name>MathDialog</name>
    <message>
        <source>Mathematik</source>
        <translation>Math</translation>
    </message>
    <message>
        <source>Operand x:</source>
        <translation>Operand x:</translation>
    </message>
    <message>
        <source>Operation:</source>
        <translation>Operation:</translation>
    </message>
    <message>
        <source>Operand y:</source>
        <translation>Operand y:</translation>
    </message>
    <message>
        <source>Ablenkfaktor:</source>
        <translation>Scale:</translation>
    </message>
    <message>
        <source>Deaktivieren</source>
        <translation>Deactivate</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>Measurements</name>
    <message>
        <source>Maximum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Der größte Abtastwert im Bereich.</source>
        <translation>The largest sample in the range.</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Der kleinste Abtastwert im Bereich.</source>
        <translation>The smallest sample in the range.</translation>
    </message>
    <message>
        <source>Spitze-Spitze</source>
        <translation>Peak-to-peak</translation>
    </message>
    <message>
        <source>Der Unterschied zwischen dem größten und dem kleinsten Abtastwert.</source>
        <translation>The difference between the largest and the smallest sample.</translation>
    </message>
    <message>
        <source>Oberer Wert</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>Der obere Zustand: der häufigste Wert der oberen Hälfte des Histogramms, oder das Maximum, wo es keinen deutlichen gibt.</source>
        <translation>The upper state: the most frequent value in the upper half of the histogram, or the maximum where there is no clear one.</translation>
    </message>
    <message>
        <source>Unterer Wert</source>
        <translation>Base</translation>
    </message>
    <message>
        <source>Der untere Zustand: der häufigste Wert der unteren Hälfte des Histogramms, oder das Minimum, wo es keinen deutlichen gibt.</source>
        <translation>The lower state: the most frequent value in the lower half of the histogram, or the minimum where there is no clear one.</translation>
    </message>
    <message>
        <source>Amplitude</source>
        <translation>Amplitude</translation>
    </message>
    <message>
        <source>Oberer Wert minus unterer Wert.</source>
        <translation>Top minus base.</translation>
    </message>
    <message>
        <source>Mittelwert</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>Der Mittelwert aller Abtastwerte im Bereich.</source>
        <translation>The mean of all samples in the range.</translation>
    </message>
    <message>
        <source>Effektivwert</source>
        <translation>RMS</translation>
    </message>
    <message>
        <source>Die Wurzel aus dem Mittel der Quadrate aller Abtastwerte im Bereich.</source>
        <translation>The square root of the mean of the squares of all samples in the range.</translation>
    </message>
    <message>
        <source>Zyklus-Mittelwert</source>
        <translation>Cycle mean</translation>
    </message>
    <message>
        <source>Der Mittelwert über die ganzen Perioden im Bereich, vom ersten bis zum letzten steigenden Durchgang durch den 50-%-Pegel.</source>
        <translation>The mean over the whole periods in the range, from the first to the last rising crossing of the 50 % level.</translation>
    </message>
    <message>
        <source>Zyklus-Effektivwert</source>
        <translation>Cycle RMS</translation>
    </message>
    <message>
        <source>Der Effektivwert über die ganzen Perioden im Bereich, vom ersten bis zum letzten steigenden Durchgang durch den 50-%-Pegel.</source>
        <translation>The RMS over the whole periods in the range, from the first to the last rising crossing of the 50 % level.</translation>
    </message>
    <message>
        <source>Effektivwert (AC)</source>
        <translation>AC RMS</translation>
    </message>
    <message>
        <source>Der Effektivwert nach Abzug des Mittelwerts, also der des Wechselanteils.</source>
        <translation>The RMS after the mean is taken away, that is, the RMS of the AC component.</translation>
    </message>
    <message>
        <source>Periode</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>Der mittlere Abstand aufeinanderfolgender steigender Durchgänge durch den 50-%-Pegel.</source>
        <translation>The mean interval between successive rising crossings of the 50 % level.</translation>
    </message>
    <message>
        <source>Frequenz</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>Der Kehrwert der Periode.</source>
        <translation>The reciprocal of the period.</translation>
    </message>
    <message>
        <source>Anstiegszeit</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>Die mittlere Zeit, in der eine steigende Flanke von 10 % auf 90 % der Amplitude über dem unteren Wert steigt.</source>
        <translation>The mean time a rising edge takes to rise from 10 % to 90 % of the amplitude above the base.</translation>
    </message>
    <message>
        <source>Abfallzeit</source>
        <translation>Fall time</translation>
    </message>
    <message>
        <source>Die mittlere Zeit, in der eine fallende Flanke von 90 % auf 10 % der Amplitude über dem unteren Wert fällt.</source>
        <translation>The mean time a falling edge takes to fall from 90 % to 10 % of the amplitude above the base.</translation>
    </message>
    <message>
        <source>Pulsbreite positiv</source>
        <translation>Positive pulse width</translation>
    </message>
    <message>
        <source>Die mittlere Zeit über dem 50-%-Pegel, von einer steigenden bis zur folgenden fallenden Flanke.</source>
        <translation>The mean time above the 50 % level, from a rising edge to the next falling edge.</translation>
    </message>
    <message>
        <source>Pulsbreite negativ</source>
        <translation>Negative pulse width</translation>
    </message>
    <message>
        <source>Die mittlere Zeit unter dem 50-%-Pegel, von einer fallenden bis zur folgenden steigenden Flanke.</source>
        <translation>The mean time below the 50 % level, from a falling edge to the next rising edge.</translation>
    </message>
    <message>
        <source>Tastverhältnis positiv</source>
        <translation>Positive duty cycle</translation>
    </message>
    <message>
        <source>Die positive Pulsbreite als Anteil der Periode.</source>
        <translation>The positive pulse width as a share of the period.</translation>
    </message>
    <message>
        <source>Tastverhältnis negativ</source>
        <translation>Negative duty cycle</translation>
    </message>
    <message>
        <source>Die negative Pulsbreite als Anteil der Periode.</source>
        <translation>The negative pulse width as a share of the period.</translation>
    </message>
    <message>
        <source>Überschwingen</source>
        <translation>Overshoot</translation>
    </message>
    <message>
        <source>Wie weit das Maximum über dem oberen Wert liegt, als Anteil der Amplitude.</source>
        <translation>How far the maximum lies above the top, as a share of the amplitude.</translation>
    </message>
    <message>
        <source>Vorschwingen</source>
        <translation>Preshoot</translation>
    </message>
    <message>
        <source>Wie weit das Minimum unter dem unteren Wert liegt, als Anteil der Amplitude.</source>
        <translation>How far the minimum lies below the base, as a share of the amplitude.</translation>
    </message>
    <message>
        <source>Flanken</source>
        <translation>Edges</translation>
    </message>
    <message>
        <source>Die Zahl der steigenden und fallenden Flanken, die vom 10-%- bis zum 90-%-Pegel durchlaufen.</source>
        <translation>The number of rising and falling edges that pass from the 10 % to the 90 % level.</translation>
    </message>
    <message>
        <source>Verzögerung</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>Die mittlere Zeit von einem steigenden Durchgang von Kanal 1 durch seinen 50-%-Pegel bis zum nächsten steigenden Durchgang dieses Kanals.</source>
        <translation>The mean time from a rising crossing of channel 1 through its 50 % level to the next rising crossing of this channel.</translation>
    </message>
    <message>
        <source>Phase</source>
        <translation>Phase</translation>
    </message>
    <message>
        <source>Die Verzögerung als Winkel: Verzögerung geteilt durch die Periode von Kanal 1, mal 360°.</source>
        <translation>The delay as an angle: the delay divided by the period of channel 1, times 360°.</translation>
    </message>
    <message>
        <source>Messung</source>
        <translation>Measurement</translation>
    </message>
</context>
<context>
    <name>MeasurementsWindow</name>
    <message>
        <source>Kopieren</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Messungen - </source>
        <translation>Measurements - </translation>
    </message>
</context>
<context>
    <name>PrintPreview</name>
    <message>
        <source>Druckvorschau</source>
        <translation>Print preview</translation>
    </message>
    <message>
        <source>Drucken</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Zoom: {0} %</source>
        <translation>Zoom: {0} %</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Der Drucker &quot;{0}&quot; kann nicht gestartet werden!</source>
        <translation>The printer &quot;{0}&quot; cannot be started!</translation>
    </message>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht erstellt werden!</source>
        <translation>The file &quot;{0}&quot; cannot be created!</translation>
    </message>
</context>
<context>
    <name>Readouts</name>
    <message>
        <source>DC</source>
        <translation>DC</translation>
    </message>
    <message>
        <source>AC</source>
        <translation>AC</translation>
    </message>
    <message>
        <source>GND</source>
        <translation>GND</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>Extern</source>
        <translation>External</translation>
    </message>
    <message>
        <source>Netzfrequenz (AC Line)</source>
        <translation>AC line</translation>
    </message>
    <message>
        <source>Alternierend (Alter)</source>
        <translation>Alternate</translation>
    </message>
    <message>
        <source>Tiefpass (HF Reject)</source>
        <translation>HF reject</translation>
    </message>
    <message>
        <source>Hochpass (LF Reject)</source>
        <translation>LF reject</translation>
    </message>
    <message>
        <source>Flankentriggerung (Edge)</source>
        <translation>Edge trigger</translation>
    </message>
    <message>
        <source>Pulsbreitentriggerung (Pulse)</source>
        <translation>Pulse width trigger</translation>
    </message>
    <message>
        <source>Steigende Flanke (Rise)</source>
        <translation>Rising edge</translation>
    </message>
    <message>
        <source>Fallende Flanke (Fall)</source>
        <translation>Falling edge</translation>
    </message>
    <message>
        <source>Steigende und fallende Flanke (Rise &amp; Fall)</source>
        <translation>Rising and falling edge</translation>
    </message>
    <message>
        <source>ON-Zeit (Positive)</source>
        <translation>Positive pulse</translation>
    </message>
    <message>
        <source>OFF-Zeit (Negative)</source>
        <translation>Negative pulse</translation>
    </message>
    <message>
        <source>Größer (&gt;)</source>
        <translation>Greater than (&gt;)</translation>
    </message>
    <message>
        <source>Kleiner (&lt;)</source>
        <translation>Less than (&lt;)</translation>
    </message>
    <message>
        <source>Gleich (=)</source>
        <translation>Equal to (=)</translation>
    </message>
    <message>
        <source>Kanal {0}</source>
        <translation>Channel {0}</translation>
    </message>
    <message>
        <source>Math</source>
        <translation>Math</translation>
    </message>
    <message>
        <source>Invertiert</source>
        <translation>Inverted</translation>
    </message>
    <message>
        <source>Bandbreitenbegrenzung (Bandwidth Limit)</source>
        <translation>Bandwidth limit</translation>
    </message>
    <message>
        <source>Zeitbasis: {0Sd5}s/DIV</source>
        <translation>Time base: {0Sd5}s/DIV</translation>
    </message>
    <message>
        <source>Trigger</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>Modus: {0}</source>
        <translation>Mode: {0}</translation>
    </message>
    <message>
        <source>Quelle: {0}</source>
        <translation>Source: {0}</translation>
    </message>
    <message>
        <source>Kopplung: {0}</source>
        <translation>Coupling: {0}</translation>
    </message>
    <message>
        <source>Triggerlevel: {0Sd5}V</source>
        <translation>Trigger level: {0Sd5}V</translation>
    </message>
    <message>
        <source>Triggeroffset: {0Sd5}s</source>
        <translation>Trigger offset: {0Sd5}s</translation>
    </message>
    <message>
        <source>Pulsbreite: {0Sd5}s</source>
        <translation>Pulse width: {0Sd5}s</translation>
    </message>
    <message>
        <source>Spitzenwerte (Minimum, Maximum, Spitze-Spitze)</source>
        <translation>Peak values (minimum, maximum, peak-to-peak)</translation>
    </message>
    <message>
        <source>Effektivwerte</source>
        <translation>RMS values</translation>
    </message>
    <message>
        <source>Mittelwerte</source>
        <translation>Mean values</translation>
    </message>
    <message>
        <source>Zeit: {0Sd5}s</source>
        <translation>Time: {0Sd5}s</translation>
    </message>
    <message>
        <source>Frq.: {0Sd5}Hz</source>
        <translation>Freq.: {0Sd5}Hz</translation>
    </message>
</context>
<context>
    <name>SpectrumAnalysis</name>
    <message>
        <source>Rechteck</source>
        <translation>Rectangular</translation>
    </message>
    <message>
        <source>Hann</source>
        <translation>Hann</translation>
    </message>
    <message>
        <source>Blackman-Harris</source>
        <translation>Blackman-Harris</translation>
    </message>
    <message>
        <source>Flat-Top</source>
        <translation>Flat top</translation>
    </message>
    <message>
        <source>Kein Spektrum: der Bereich enthält keine Abtastwerte.</source>
        <translation>No spectrum: the range holds no samples.</translation>
    </message>
    <message>
        <source>Kein Spektrum: der Kanal enthält ungültige Werte (NaN oder unendlich).</source>
        <translation>No spectrum: the channel holds invalid values (NaN or infinite).</translation>
    </message>
    <message>
        <source>Kein Spektrum: die Zeitbasis der Aufnahme ist ungültig.</source>
        <translation>No spectrum: the capture&apos;s time base is invalid.</translation>
    </message>
    <message>
        <source>Grundwelle: </source>
        <translation>Fundamental: </translation>
    </message>
    <message>
        <source>Oberwelle {0}: </source>
        <translation>Harmonic {0}: </translation>
    </message>
    <message>
        <source>Spitzen:</source>
        <translation>Peaks:</translation>
    </message>
    <message>
        <source> keine</source>
        <translation> none</translation>
    </message>
    <message>
        <source>zu wenige Perioden für dieses Fenster</source>
        <translation>too few periods for this window</translation>
    </message>
    <message>
        <source>Oberwellen: ---</source>
        <translation>Harmonics: ---</translation>
    </message>
</context>
<context>
    <name>SpectrumWindow</name>
    <message>
        <source>Ein Klick in das Spektrum zeigt Frequenz und Pegel.</source>
        <translation>A click into the spectrum shows frequency and level.</translation>
    </message>
    <message>
        <source>Spektrum - </source>
        <translation>Spectrum - </translation>
    </message>
    <message>
        <source>&amp;Kanal:</source>
        <translation>&amp;Channel:</translation>
    </message>
    <message>
        <source>&amp;Fenster:</source>
        <translation>&amp;Window:</translation>
    </message>
    <message>
        <source>&amp;Skala:</source>
        <translation>&amp;Scale:</translation>
    </message>
    <message>
        <source>F&amp;requenzachse:</source>
        <translation>F&amp;requency axis:</translation>
    </message>
    <message>
        <source>Linear</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>Logarithmisch</source>
        <translation>Logarithmic</translation>
    </message>
    <message>
        <source>PNG-Dateien (*.png)|*.png|Alle Dateien (*.*)|*.*</source>
        <translation>PNG files (*.png)|*.png|All files (*.*)|*.*</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht erstellt werden!</source>
        <translation>The file &quot;{0}&quot; cannot be created!</translation>
    </message>
</context>
<context>
    <name>kurvex-cli</name>
    <message>
        <source>Die Datei &quot;{0}&quot; kann nicht erstellt werden!</source>
        <translation>Cannot create the file &quot;{0}&quot;.</translation>
    </message>
</context>
</TS>
