"""The kinds of loss the conservation check names, and those accepted for now.

The checker starts a loss's text with "{kind}" when the value has a property
that is known to lose it (run_conservation.py adds "existing-plugins-file").
A kind listed in ACCEPTED is counted and shown but does not fail a check;
every other loss does. A kind leaves ACCEPTED as soon as the program keeps
such values.
"""

import re

KNOWN_KINDS = {
    "data-path-record": "an expandable \"DataPath\" is not read: the prompt's record "
                        "replaces it, also in the backup",
    "menu-record-ini-cannot-hold": "a plug-in record with a line break, a NUL or of another "
                                   "type than text is dropped",
    "menu-path-colon-or-blanks": "a plug-in path with a colon or leading blanks is cut",
    "menu-names-differ-by-blanks": "plug-in names that differ by blanks at their ends meet",
    "host-capability-groups-meet": "host-capability groups that differ by blanks or case meet",
    "text-blanks-or-quotes-at-ends": "a text with blanks or quotes at its ends is trimmed",
    "name-starts-with-semicolon": "a name starting with \";\" becomes a comment",
    "carriage-return": "a text with a carriage return is copied broken",
    "existing-plugins-file": "a PlugIns.ini in the data folder is replaced whole",
    "profile-bank-match": "a profile name equal to a bank name gets a bank of its own",
    "text-too-long": "a text of 32,767 characters or more ends the Windows program",
    "group-with-sub-key": "a group with a sub-key is left in the registry silently",
    "backup-text-not-exact": "a text the backup's text form does not restore exactly",
}
# Kinds still accepted until the program keeps such values (each kind has its
# own case among the fixed inputs of generate_registries.py): none.
ACCEPTED = set()


def kind_of(loss):
    """The kind named at the start of a loss's text, or None."""
    m = re.match(r"(?:LOST )?[^:]*: \{([a-z-]+)\}", loss)
    return m.group(1) if m else None
