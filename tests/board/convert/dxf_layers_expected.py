"""What a DXF drawing saved as JWW must show and hide, by ezdxf's reading of the DXF's layers.

A DXF layer that is off or frozen hides what is on it; its JWW layer (found by name) must be
hidden (state 0, or its group's state 0), and every other named layer shown. The write layer is
shown, and is a layer the DXF shows when it has one. A visible attribute on layer 0 of a kept
model-space insert is drawn on the insert's layer: it is written as a text on a hidden layer
exactly when the insert's layer is hidden."""
import collections

import jww_records  # noqa: E402


def decoded(d, raw):
    """A string of the JWW (the program writes version 700, whose strings are UTF-16)."""
    return raw.decode("utf-16-le" if d["version"] >= 700 else "cp932", "replace")


def hidden_in_dxf(doc):
    """{layer name (upper case): hidden} for the DXF's layers."""
    return {layer.dxf.name.upper(): not layer.is_on() or layer.is_frozen() for layer in doc.layers}


def jww_layers(d):
    """{(group, layer): (name, hidden)} for the JWW's 256 layers, and the write layer."""
    v = d["values"]
    out = {}
    writing = v["m_nWriteGLay"] & 15
    for g in range(16):
        for lay in range(16):
            raw = v[f"m_aStrLayName[{g}][{lay}]"]
            name = decoded(d, raw)
            state = v[f"m_aanLay[{g}][{lay}]"]
            out[(g, lay)] = (name.rstrip("\0"), v[f"m_anGLay[{g}]"] == 0 or state == 0)
    return out, (writing, v[f"m_anWriteLay[{writing}]"] & 15)


def check_layer_states(doc, d):
    """Problems of the JWW's layer states against the DXF's; and how many layers were compared."""
    dxf = hidden_in_dxf(doc)
    layers, writing = jww_layers(d)
    problems = []
    compared = 0
    for place, (name, hidden) in sorted(layers.items()):
        if name.upper() not in dxf or place == writing:
            continue
        compared += 1
        if hidden != dxf[name.upper()]:
            problems.append(f"layer {name} ({place[0]:X}-{place[1]:X}) "
                            f"{'hidden' if hidden else 'shown'} in the JWW, not in the DXF")
    if layers[writing][1] or (dxf.get(layers[writing][0].upper(), False)
                              and not all(dxf.values())):
        problems.append(f"the write layer {writing} ({layers[writing][0]}) is hidden")
    return problems, compared


def plain_text(text):
    return text and not any(c in text for c in "%\\{}^")


def check_attributes(doc, d, inserts):
    """Problems of the kept inserts' attributes on layer 0: each written as a text on a hidden
    layer exactly when its insert's layer is hidden; and how many attributes were compared."""
    dxf = hidden_in_dxf(doc)
    layers, _writing = jww_layers(d)
    want = {True: collections.Counter(), False: collections.Counter()}
    for insert in inserts:
        for a in insert.attribs:
            if a.dxf.layer == "0" and not a.is_invisible and plain_text(a.dxf.text):
                want[dxf.get(insert.dxf.layer.upper(), False)][a.dxf.text] += 1
    got = {True: collections.Counter(), False: collections.Counter()}
    for cls, body in d["records"]:
        if cls == "CDataMoji":
            f = jww_records.parse_fields(d["version"], cls, body)
            text = decoded(d, f["text"])
            got[layers[(f["m_nGLayer"], f["m_nLayer"])][1]][text] += 1
    problems = [f"{n} attribute(s) '{text}' on a {'hidden' if hidden else 'shown'} insert's "
                f"layer written on {'shown' if hidden else 'hidden'} layers"
                for hidden in (True, False) for text, n in (want[hidden] - got[hidden]).items()]
    return problems, sum(want[True].values()) + sum(want[False].values())
