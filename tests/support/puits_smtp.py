"""SMTP sink of the tests: keeps every message exactly as it came over the wire.

Started as  python3 -m aiosmtpd -n -l 127.0.0.1:PORT -c puits_smtp.Enregistreur FOLDER
Each message gives FOLDER/NNNN.json (envelope sender and recipients) and FOLDER/NNNN.eml
(the data, dot-unstuffed, as received); the .eml appears last.
"""
import json
import os


class Enregistreur:
    def __init__(self, dossier):
        self.dossier = dossier
        self.nombre = 0

    @classmethod
    def from_cli(cls, parser, *args):
        if len(args) != 1:
            parser.error("puits_smtp.Enregistreur takes the folder to write into")
        return cls(args[0])

    async def handle_DATA(self, server, session, envelope):
        self.nombre += 1
        base = os.path.join(self.dossier, "%04d" % self.nombre)
        with open(base + ".json", "w", encoding="utf-8") as f:
            json.dump({"de": envelope.mail_from, "pour": envelope.rcpt_tos}, f)
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted"
