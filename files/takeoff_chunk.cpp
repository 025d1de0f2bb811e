#include "takeoff_chunk.h"

namespace pyrelto {

namespace {

[[noreturn]] void damaged(const std::string& what) {
    throw IoError::damaged("Aufmaß: " + what);
}

void writeCount(ByteWriter& out, std::size_t n, std::size_t bound, const char* what) {
    if (n > bound) {
        damaged(std::string("mehr als ") + std::to_string(bound) + " " + what + ".");
    }
    writeInt32(out, static_cast<std::int32_t>(n));
}

std::size_t readCount(ByteReader& in, std::size_t bound, const char* what) {
    const std::int32_t n = readInt32(in);
    if (n < 0 || static_cast<std::size_t>(n) > bound) {
        damaged(std::string("die Zahl der ") + what + " ist ungültig.");
    }
    return static_cast<std::size_t>(n);
}

void writeName(ByteWriter& out, const std::u16string& name) {
    if (name.size() > kMaxNameLength) {
        damaged("eine Bezeichnung ist länger als " + std::to_string(kMaxNameLength) + " Zeichen.");
    }
    blockwriteStrU(out, name);
}

std::u16string readName(ByteReader& in) {
    std::u16string name = blockreadStrU(in);
    if (name.size() > kMaxNameLength) {
        damaged("eine Bezeichnung ist länger als " + std::to_string(kMaxNameLength) + " Zeichen.");
    }
    return name;
}

void writeByte(ByteWriter& out, std::uint8_t value, std::uint8_t below, const char* what) {
    if (value >= below) {
        damaged(std::string("unbekannte ") + what + ".");
    }
    writeUnsigned(out, value, 1);
}

std::uint8_t readByte(ByteReader& in, std::uint8_t below, const char* what) {
    const auto v = static_cast<std::uint8_t>(readUnsigned(in, 1));
    if (v >= below) {
        damaged(std::string("unbekannte ") + what + ".");
    }
    return v;
}

} // namespace

std::vector<std::byte> encodeTakeOff(const TakeOff& takeOff) {
    MemoryWriter out;
    writeUnsigned(out, kTakeOffChunkVersion, 2);
    writeInt64(out, takeOff.openingThreshold);
    writeCount(out, takeOff.faces.size(), kMaxRows, "Flächen");
    for (const Face& face : takeOff.faces) {
        writeName(out, face.name);
        writeByte(out, static_cast<std::uint8_t>(face.shape), 4, "Form");
        writeByte(out, static_cast<std::uint8_t>(face.measured), 2, "Messart");
        writeInt64(out, face.pitch);
        writeInt32(out, face.count);
        writeInt64(out, face.a);
        writeInt64(out, face.b);
        writeInt64(out, face.c);
        writeCount(out, face.points.size(), kMaxPolygonPoints, "Punkte");
        for (const Point& p : face.points) {
            writeInt64(out, p.x);
            writeInt64(out, p.y);
        }
        writeCount(out, face.openings.size(), kMaxRows, "Aussparungen");
        for (const Opening& o : face.openings) {
            writeName(out, o.name);
            writeInt64(out, o.length);
            writeInt64(out, o.width);
            writeInt32(out, o.count);
        }
        writeCount(out, face.edges.size(), kMaxRows, "Kanten");
        for (const Edge& e : face.edges) {
            writeByte(out, static_cast<std::uint8_t>(e.kind), kEdgeKindCount, "Kantenart");
            writeInt64(out, e.length);
            writeInt32(out, e.count);
        }
    }
    writeCount(out, takeOff.upstands.size(), kMaxRows, "Aufkantungen");
    for (const Upstand& u : takeOff.upstands) {
        writeName(out, u.name);
        writeInt64(out, u.length);
        writeInt64(out, u.height);
        writeInt32(out, u.count);
    }
    return out.bytes();
}

TakeOff decodeTakeOff(std::span<const std::byte> payload) {
    MemoryReader in(payload);
    try {
        const auto version = readUnsigned(in, 2);
        if (version != kTakeOffChunkVersion) {
            damaged("unbekannte Version " + std::to_string(version) +
                    " (von einer neueren Programmversion?).");
        }
        TakeOff t;
        t.openingThreshold = readInt64(in);
        // Every element takes at least this many bytes, so a count is checked against what is left
        // before anything is reserved for it.
        const auto reserve = [&in](auto& list, std::size_t n, std::size_t minBytes) {
            if (n * minBytes > in.remaining()) {
                throw IoError::endOfFile();
            }
            list.reserve(n);
        };
        const std::size_t faces = readCount(in, kMaxRows, "Flächen");
        reserve(t.faces, faces, 54);
        for (std::size_t i = 0; i < faces; ++i) {
            Face& f = t.faces.emplace_back();
            f.name = readName(in);
            f.shape = static_cast<FaceShape>(readByte(in, 4, "Form"));
            f.measured = static_cast<Measured>(readByte(in, 2, "Messart"));
            f.pitch = readInt64(in);
            f.count = readInt32(in);
            f.a = readInt64(in);
            f.b = readInt64(in);
            f.c = readInt64(in);
            const std::size_t points = readCount(in, kMaxPolygonPoints, "Punkte");
            reserve(f.points, points, 16);
            for (std::size_t k = 0; k < points; ++k) {
                const Hundredths x = readInt64(in);
                f.points.push_back({x, readInt64(in)});
            }
            const std::size_t openings = readCount(in, kMaxRows, "Aussparungen");
            reserve(f.openings, openings, 24);
            for (std::size_t k = 0; k < openings; ++k) {
                Opening& o = f.openings.emplace_back();
                o.name = readName(in);
                o.length = readInt64(in);
                o.width = readInt64(in);
                o.count = readInt32(in);
            }
            const std::size_t edges = readCount(in, kMaxRows, "Kanten");
            reserve(f.edges, edges, 13);
            for (std::size_t k = 0; k < edges; ++k) {
                Edge& e = f.edges.emplace_back();
                e.kind = static_cast<EdgeKind>(readByte(in, kEdgeKindCount, "Kantenart"));
                e.length = readInt64(in);
                e.count = readInt32(in);
            }
        }
        const std::size_t upstands = readCount(in, kMaxRows, "Aufkantungen");
        reserve(t.upstands, upstands, 24);
        for (std::size_t i = 0; i < upstands; ++i) {
            Upstand& u = t.upstands.emplace_back();
            u.name = readName(in);
            u.length = readInt64(in);
            u.height = readInt64(in);
            u.count = readInt32(in);
        }
        if (!in.atEnd()) {
            damaged("nach den Daten folgen weitere Bytes.");
        }
        return t;
    } catch (const IoError& e) {
        if (e.kind() == IoError::Kind::EndOfFile) {
            damaged("die Daten sind abgeschnitten.");
        }
        throw;
    }
}

} // namespace pyrelto
