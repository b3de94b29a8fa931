package org.ravelin.launcher;

import java.io.ByteArrayOutputStream;
import java.lang.reflect.Constructor;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.util.function.Consumer;

/**
 * Calls the application's main method as compiled code calls it: a small class made here, with one method whose
 * bytecode calls main. The VM's own launcher calls main without reflection, and so does this: since Java 18
 * {@link Method#invoke} runs through method handles, whose first use spins classes at run time (a hundred and more,
 * the class-file API among them) and costs a start a good part of its time.
 *
 * <p>The class is defined by a loader of its own below the application class's loader, so it reaches public classes
 * and members only; {@link #of} gives null for anything else, which is then called by reflection. Its static
 * initializer makes its one instance and hands it to that loader (as a {@link Consumer}): nothing is looked up or
 * instantiated reflectively. It first resolves the application class, so that a class its module does not export
 * fails here, before the application runs.
 */
final class DirectEntry extends ClassLoader implements Consumer<Object> {
    private static final String NAME = "org/ravelin/launcher/entry/ApplicationEntry";
    private static final String CONSUMER = "java/util/function/Consumer";

    private Consumer<Object> entry;

    private DirectEntry(ClassLoader parent) {
        super(parent);
    }

    /** Takes the entry that the made class's static initializer hands over. */
    @Override
    @SuppressWarnings("unchecked")
    public void accept(Object madeEntry) {
        entry = (Consumer<Object>) madeEntry;
    }

    /**
     * The entry whose {@code accept(arguments)} calls the main method (on a new instance made with the constructor
     * when that is given), or null when the class, the method or the constructor is not public, or the class cannot
     * be made.
     */
    static Consumer<Object> of(Class<?> application, Method main, Constructor<?> constructor) {
        if (!Modifier.isPublic(application.getModifiers()) || !Modifier.isPublic(main.getModifiers())
                || !Modifier.isPublic(main.getDeclaringClass().getModifiers())
                || constructor != null && !Modifier.isPublic(constructor.getModifiers())) {
            return null;
        }
        try {
            final DirectEntry loader = new DirectEntry(application.getClassLoader());
            final byte[] bytes = classFile(application.getName().replace('.', '/'), application.isInterface(),
                    constructor != null, main.getParameterCount() == 1);
            loader.defineClass(NAME.replace('/', '.'), bytes, 0, bytes.length);
            Class.forName(NAME.replace('/', '.'), true, loader);
            return loader.entry;
        } catch (ClassNotFoundException | LinkageError | SecurityException e) {
            // A class the VM refuses, or a module that keeps the application class from it: reflection can tell why.
            return null;
        }
    }

    // The class file (Java 8's version 52, straight-line code that needs no stack map): public final class
    // ApplicationEntry implements Consumer { accept(Object arguments) calls the main method; <clinit> resolves the
    // application class, then hands a new instance to its class loader, the DirectEntry that defined it }.
    static byte[] classFile(String application, boolean applicationIsInterface, boolean instance,
            boolean withArguments) {
        final ConstantPool pool = new ConstantPool();
        final int self = pool.classRef(NAME);
        final int object = pool.classRef("java/lang/Object");
        final int consumer = pool.classRef(CONSUMER);
        final int target = pool.classRef(application);
        final int code = pool.utf8("Code");
        final int init = pool.utf8("<init>");
        final int noArguments = pool.utf8("()V");
        final int accept = pool.utf8("accept");
        final int acceptType = pool.utf8("(Ljava/lang/Object;)V");
        final int objectInit = pool.member(10, object, "<init>", "()V");
        final int selfInit = pool.member(10, self, "<init>", "()V");
        final int getClassLoader = pool.member(10, pool.classRef("java/lang/Class"), "getClassLoader",
                "()Ljava/lang/ClassLoader;");
        final int consumerAccept = pool.member(11, consumer, "accept", "(Ljava/lang/Object;)V");
        final int mainRef = pool.member(applicationIsInterface ? 11 : 10, target, "main",
                withArguments ? "([Ljava/lang/String;)V" : "()V");
        final int stringArray = withArguments ? pool.classRef("[Ljava/lang/String;") : 0;
        final int targetInit = instance ? pool.member(10, target, "<init>", "()V") : 0;
        final int clinit = pool.utf8("<clinit>");

        final Bytes acceptCode = new Bytes();
        if (instance) {
            acceptCode.u1(0xBB).u2(target).u1(0x59).u1(0xB7).u2(targetInit); // new, dup, invokespecial <init>
        }
        if (withArguments) {
            acceptCode.u1(0x2B).u1(0xC0).u2(stringArray); // aload_1, checkcast String[]
        }
        acceptCode.u1(instance ? 0xB6 : 0xB8).u2(mainRef); // invokevirtual or invokestatic main
        acceptCode.u1(0xB1); // return

        final Bytes file = new Bytes().u4(0xCAFEBABE).u2(0).u2(52);
        file.u2(pool.count()).append(pool.bytes());
        file.u2(0x1031).u2(self).u2(object).u2(1).u2(consumer).u2(0); // public final super synthetic, no fields
        file.u2(3);
        method(file, 0x0001, init, noArguments, code, 1, 1,
                new Bytes().u1(0x2A).u1(0xB7).u2(objectInit).u1(0xB1)); // aload_0, invokespecial, return
        method(file, 0x0001, accept, acceptType, code, 3, 2, acceptCode);
        method(file, 0x0008, clinit, noArguments, code, 3, 0, new Bytes()
                .u1(0x13).u2(target).u1(0x57) // ldc_w application class, pop
                .u1(0x13).u2(self).u1(0xB6).u2(getClassLoader).u1(0xC0).u2(consumer) // its loader as a Consumer
                .u1(0xBB).u2(self).u1(0x59).u1(0xB7).u2(selfInit) // new ApplicationEntry
                .u1(0xB9).u2(consumerAccept).u1(2).u1(0) // invokeinterface accept
                .u1(0xB1));
        file.u2(0); // no attributes
        return file.toByteArray();
    }

    private static void method(Bytes file, int access, int name, int descriptor, int codeName, int maxStack,
            int maxLocals, Bytes code) {
        file.u2(access).u2(name).u2(descriptor).u2(1);
        file.u2(codeName).u4(12 + code.size()).u2(maxStack).u2(maxLocals).u4(code.size()).append(code).u2(0).u2(0);
    }

    // A class file's constant pool; entries are appended and never shared, which the VM allows.
    private static final class ConstantPool {
        private final Bytes entries = new Bytes();
        private int next = 1;

        // Modified UTF-8 differs from UTF-8 only for U+0000 and characters beyond U+FFFF; a class name with those
        // makes a class the VM refuses, and reflection calls main instead.
        int utf8(String text) {
            final byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
            entries.u1(1).u2(bytes.length).append(bytes);
            return next++;
        }

        int classRef(String internalName) {
            final int name = utf8(internalName);
            entries.u1(7).u2(name);
            return next++;
        }

        // A Methodref (tag 10) or InterfaceMethodref (tag 11).
        int member(int tag, int owner, String name, String descriptor) {
            final int nameIndex = utf8(name);
            final int descriptorIndex = utf8(descriptor);
            entries.u1(12).u2(nameIndex).u2(descriptorIndex);
            final int nameAndType = next++;
            entries.u1(tag).u2(owner).u2(nameAndType);
            return next++;
        }

        int count() {
            return next;
        }

        Bytes bytes() {
            return entries;
        }
    }

    // Big-endian bytes, as a class file holds them.
    private static final class Bytes {
        private final ByteArrayOutputStream out = new ByteArrayOutputStream();

        Bytes u1(int value) {
            out.write(value);
            return this;
        }

        Bytes u2(int value) {
            return u1(value >>> 8).u1(value);
        }

        Bytes u4(int value) {
            return u2(value >>> 16).u2(value);
        }

        Bytes append(byte[] bytes) {
            out.write(bytes, 0, bytes.length);
            return this;
        }

        Bytes append(Bytes bytes) {
            return append(bytes.toByteArray());
        }

        int size() {
            return out.size();
        }

        byte[] toByteArray() {
            return out.toByteArray();
        }
    }
}
