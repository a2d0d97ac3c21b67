import QtQuick
import QtTest
import Notchora.Assistant

// A long thread in the conversation list: it opens at its end, a new message glides there
// and the streaming answer keeps the end in view at once.
Item {
    id: root
    width: 360
    height: 300

    Component {
        id: messages
        ListModel {
            Component.onCompleted: {
                for (let i = 0; i < 200; ++i)
                    append(message(i))
            }
            function message(i) {
                return { role: i % 2 ? "assistant" : "user", text: "Pesan nomor " + i,
                         hadImages: false, hasConfidence: false, confidence: 0 }
            }
        }
    }
    Component {
        id: view
        ConversationView {
            width: root.width
            height: root.height
        }
    }

    TestCase {
        name: "ConversationView"
        when: windowShown

        function makeView() {
            const model = createTemporaryObject(messages, root)
            const list = createTemporaryObject(view, root, { model: model })
            tryVerify(() => list.count === 200 && list.atYEnd)
            return list
        }

        // Scrolled to the top by the user: every contentY the list passes through after
        // `change` until it is at its end.
        function pathAfter(list, change) {
            list.movementStarted()
            list.positionViewAtBeginning()
            const from = list.contentY
            const path = []
            const record = () => path.push(list.contentY)
            list.contentYChanged.connect(record)
            change()
            tryVerify(() => list.atYEnd && path.length > 0)
            list.contentYChanged.disconnect(record)
            return { from: from, to: list.contentY, path: path }
        }

        function test_newMessageGlides() {
            const list = makeView()
            const run = pathAfter(list, () => list.model.append(list.model.message(200)))
            // On its way: well short of the end (a jump lands near it at once).
            const onTheWay = run.path.filter(y => y > run.from + 1 && y < run.from + 0.75 * (run.to - run.from))
            verify(onTheWay.length > 0, "no glide: " + run.path.join(", "))
        }

        function test_streamingJumps() {
            const list = makeView()
            const run = pathAfter(list, () => list.streamingText = "Sebagian jawaban")
            const gliding = run.path.filter(y => y > run.from + 1 && y < (run.from + run.to) / 2)
            compare(gliding.length, 0, "glided: " + run.path.join(", "))
        }
    }
}
